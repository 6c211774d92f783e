// What the block reader makes of a block's bytes in the source encoding.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "text/UCodecBuffer.h"
#include "text/simd/ULineScanner.h"

class TTextDecoder;

// The text stage of the block reader. A block's text is its UTF-8, decoded
// at once, unless the source's bytes are kept (KeepSourceBytes) or pass
// through: then the text is the bytes themselves, and a line is decoded only
// when asked, and only as far as asked (its head or tail).
class TTextStage {
 public:
  TTextStage();
  TTextStage(const TTextStage&) = delete;
  TTextStage& operator=(const TTextStage&) = delete;
  ~TTextStage();

  // Chooses the decoder for an encoding name (display name or key); source
  // bytes are no longer kept.
  void SetEncoding(const std::string& name);
  // Texts of the source's bytes from the next block on; nothing before an
  // encoding is set.
  void KeepSourceBytes();
  bool KeepsSourceBytes() const { return SourceBytes_; }
  // Kept source bytes that do not pass through: a line's UTF-8 needs decoding.
  bool DecodesLines() const { return DecodeLines_; }
  // The encoding names a character set this machine cannot convert.
  bool ConverterMissing() const;
  // How the source's code units lie in its bytes (bytes before an encoding is
  // set), and how those of the texts that BlockText hands out lie.
  TUnitForm SourceForm() const;
  TUnitForm Form() const { return Form_; }
  size_t CodeUnitSize() const { return SourceForm() == TUnitForm::Bytes ? 1 : 2; }

  // The code unit values of the texts below which a unit that starts or
  // ends a character is that ASCII character, and whose units at or above
  // it may decode to anything: 0x80 for a code page whose lines are decoded
  // on request, 0 where its bytes below 0x80 are not ASCII, 0x10000 (none)
  // where the texts are UTF-8 or UTF-16 (every other unit is part of a
  // character that is not ASCII).
  uint32_t AsciiUnitLimit() const;
  // The text of the Size bytes of a block at Data, valid until the next
  // block: the bytes themselves where they are kept or pass through (a last
  // odd byte of UTF-16 holds no character), else their UTF-8.
  std::string_view BlockText(const char* data, size_t size);
  // True when BlockText hands out the block's own bytes.
  bool TextIsSource() const;
  // Drops the byte-order mark that opens Line, the text's first line: as the
  // source encodes it where source bytes are kept, else either raw mark or
  // U+FEFF.
  void DropByteOrderMark(std::string_view& line);
  // The UTF-8 of Line, a line of a text of kept source bytes; valid until the
  // next call or block.
  std::string_view DecodeLine(std::string_view line);
  // The first (with Tail, last) Count bytes of DecodeLine(Line), all of it
  // when shorter, decoding only as much of the line as they need.
  std::string_view DecodeLineEdge(std::string_view line, size_t count, bool tail);
  // CR LF as the texts write it: in UTF-16 when source bytes of UTF-16 are kept.
  std::string_view CrLf() const;
  // The source's own bytes of a line end that a text holds as TextEnd: the
  // same bytes, but for a UTF-16 source decoded into UTF-8.
  std::string_view SourceLineEnd(std::string_view text_end) const;
  // Frees the buffers (a reader's Close).
  void ReleaseBuffers();

 private:
  std::unique_ptr<TTextDecoder> Decoder_;  // the source encoding's; null until one is set
  TCodecBuffer Decoded_;                   // the current block's UTF-8, where the block is decoded
  TCodecBuffer LineText_;                  // a line's UTF-8, decoded on request
  bool SourceBytes_ = false;               // texts are the source's bytes (KeepSourceBytes)
  bool DecodeLines_ = false;               // ... of an encoding whose bytes do not pass through
  TUnitForm Form_ = TUnitForm::Bytes;      // of the texts: SourceForm() where source bytes are kept, else bytes
};
