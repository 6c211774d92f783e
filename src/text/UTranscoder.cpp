#include "text/UTranscoder.h"

#include "text/UEncodingConverter.h"
#include "text/UTextDecoder.h"

TTranscoder::TTranscoder(std::string_view source, std::string_view output)
    : Decoder_(std::make_unique<TTextDecoder>(source)),
      Encoder_(std::make_unique<TTextEncoder>(output, TUnrepresentable::Replaced)) {
  // An encoder of UTF-8 only checks it; what a decoder writes is valid
  // already.
  if (Decoder_->IsPassThrough())
    Path_ = TPath::Encode;
  else if (Encoder_->ChecksUtf8())
    Path_ = TPath::Decode;
  else
    Path_ = TPath::DecodeEncode;
  CountDecoded_ = Path_ != TPath::Encode && Encoder_->HasReplacementCharacter();
  // iconv may keep a shift state from one line to the next; the tables of
  // pairs and UTF-16 decode each character alone, and a line end as
  // itself, and so does the UTF-16 encoder. A table of single bytes
  // decodes a line faster than a run takes to find its lines again
  // (measured).
  if (Path_ == TPath::Decode)
    LineRuns_ = Decoder_->IsDoubleByteTable() || Decoder_->IsUtf16();
  else if (Path_ == TPath::Encode && Encoder_->IsUtf16()) {
    LineRuns_ = true;
    RunForm_ = Encoder_->IsBigEndian() ? TUnitForm::Utf16BE : TUnitForm::Utf16LE;
  }
}

size_t TTranscoder::ConvertRun(std::string_view text, TCodecBuffer& buffer, size_t& replaced) {
  if (Path_ == TPath::Encode) return Encoder_->EncodeInto(text, buffer, 0, replaced);
  return Decoder_->DecodeInto(text.data(), text.size(), buffer, 0, replaced);
}

TTranscoder::~TTranscoder() = default;

size_t TTranscoder::Convert(std::string_view text, TCodecBuffer& buffer, size_t at) {
  switch (Path_) {
    case TPath::Encode:
      return Encoder_->EncodeInto(text, buffer, at, Replaced_);
    case TPath::Decode:
      return Decoder_->DecodeInto(text.data(), text.size(), buffer, at, Replaced_);
    case TPath::DecodeEncode:
    default: {
      size_t decoded_replaced = 0;
      const size_t size = Decoder_->DecodeInto(text.data(), text.size(), Utf8_, 0, decoded_replaced);
      if (CountDecoded_) Replaced_ += decoded_replaced;
      return Encoder_->EncodeInto(std::string_view(Utf8_.Data(), size), buffer, at, Replaced_);
    }
  }
}

void TTranscoder::Convert(std::string_view text, std::string& out) {
  const size_t size = Convert(text, Scratch_, 0);
  out.append(Scratch_.Data(), size);
}

size_t TTranscoder::ConvertedSize(std::string_view text) {
  const size_t replaced = Replaced_;
  size_t total = 0;
  // In parts, so that a long line needs no room of its own size.
  constexpr size_t kPart = 1 << 20;
  while (!text.empty()) {
    size_t take = text.size();
    if (take > kPart) {
      const size_t cut = CharacterStartBefore(text, kPart);
      if (cut > 0) take = cut;
    }
    total += Convert(text.substr(0, take), Scratch_, 0);
    text.remove_prefix(take);
  }
  Replaced_ = replaced;
  return total;
}

size_t TTranscoder::CharacterStartBefore(std::string_view text, size_t limit) const {
  return Decoder_->CharacterStartBefore(text.data(), text.size(), limit);
}

bool TTranscoder::CanEncode() const { return !Encoder_->IsIdentity(); }
