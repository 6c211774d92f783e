#include "text/UTextStage.h"

#include <algorithm>

#include "text/UTextDecoder.h"

TTextStage::TTextStage() = default;
TTextStage::~TTextStage() = default;

void TTextStage::SetEncoding(const std::string& name) {
  Decoder_ = std::make_unique<TTextDecoder>(name);
  SourceBytes_ = false;
  DecodeLines_ = false;
  Form_ = TUnitForm::Bytes;
}

void TTextStage::KeepSourceBytes() {
  if (!Decoder_) return;
  SourceBytes_ = true;
  DecodeLines_ = !Decoder_->IsPassThrough();
  Form_ = SourceForm();
}

bool TTextStage::ConverterMissing() const { return Decoder_ && Decoder_->ConverterMissing(); }

TUnitForm TTextStage::SourceForm() const {
  if (!Decoder_ || !Decoder_->IsUtf16()) return TUnitForm::Bytes;
  return Decoder_->IsBigEndian() ? TUnitForm::Utf16BE : TUnitForm::Utf16LE;
}

uint32_t TTextStage::AsciiUnitLimit() const {
  if (!DecodeLines_ || Form_ != TUnitForm::Bytes) return 0x10000;
  return Decoder_->KeepsAscii() ? 0x80 : 0;
}

bool TTextStage::TextIsSource() const { return SourceBytes_ || Decoder_->IsPassThrough(); }

std::string_view TTextStage::BlockText(const char* data, size_t size) {
  if (!TextIsSource()) return Decoder_->Decode(data, size, Decoded_);
  return std::string_view(data, Form_ == TUnitForm::Bytes ? size : size / 2 * 2);
}

void TTextStage::DropByteOrderMark(std::string_view& line) {
  if (SourceBytes_ && !Decoder_->IsPassThrough()) {
    // The mark as the source encodes it: the shortest head of the line
    // that decodes to U+FEFF alone (FF FE in UTF-16LE, say).
    line.remove_prefix(Decoder_->ByteOrderMarkLength(line.data(), line.size()));
    return;
  }
  // A byte-order mark, whether it survived as raw bytes or decoded to
  // U+FEFF, is dropped only where it opens the text.
  for (std::string_view mark : {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF"}) {
    if (line.starts_with(mark)) {
      line.remove_prefix(mark.size());
      break;
    }
  }
}

std::string_view TTextStage::DecodeLine(std::string_view line) {
  return Decoder_->Decode(line.data(), line.size(), LineText_);
}

std::string_view TTextStage::DecodeLineEdge(std::string_view line, size_t count, bool tail) {
  return Decoder_->DecodeEdge(line.data(), line.size(), count, tail, LineText_);
}

namespace {

// A line end in code units of each form.
struct TLineEnds {
  std::string_view Lf, Cr, CrLf;
};
constexpr TLineEnds kUtf16LE = {std::string_view("\n\0", 2), std::string_view("\r\0", 2),
                                std::string_view("\r\0\n\0", 4)};
constexpr TLineEnds kUtf16BE = {std::string_view("\0\n", 2), std::string_view("\0\r", 2),
                                std::string_view("\0\r\0\n", 4)};

}  // namespace

std::string_view TTextStage::CrLf() const {
  if (Form_ == TUnitForm::Bytes) return "\r\n";
  return Form_ == TUnitForm::Utf16BE ? kUtf16BE.CrLf : kUtf16LE.CrLf;
}

std::string_view TTextStage::SourceLineEnd(std::string_view text_end) const {
  const TUnitForm source = SourceForm();
  if (Form_ == source || text_end.empty()) return text_end;
  // The decoded text of UTF-16: its line end is one of LF, CR and CR LF.
  const TLineEnds& ends = source == TUnitForm::Utf16BE ? kUtf16BE : kUtf16LE;
  if (text_end.size() == 2) return ends.CrLf;
  return text_end[0] == '\n' ? ends.Lf : ends.Cr;
}

void TTextStage::ReleaseBuffers() {
  Decoded_ = TCodecBuffer();
  LineText_ = TCodecBuffer();
}
