// Converting a source's text into the encoding its pieces are written in,
// as the pieces are written: nothing is lost without being counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/UCodecBuffer.h"
#include "text/simd/ULineScanner.h"

class TTextDecoder;
class TTextEncoder;

// Converts text of one encoding into another through the reader's decoders
// (into UTF-8) and the encoders (from UTF-8), taking the shortest way: a
// decoder writes UTF-8 output itself, an encoder reads a UTF-8 source
// itself, and only other pairs pass through UTF-8 in between (a line at a
// time, while it is in the processor's caches).
//
// Nothing is left out. A character the output cannot represent is written
// as "?"; input that does not decode (a byte of a code page that stands for
// no character, invalid UTF-8, an unpaired surrogate) as U+FFFD where the
// output has it (the Unicode encodings) and as "?" otherwise. Each counts as
// one replacement.
//
// Text is converted in whole characters: a line, or a line and its line end
// (which become the output's own LF, CR or CR LF). Converting a text in two
// parts cut where CharacterStartBefore says gives what converting it whole
// gives.
class TTranscoder {
 public:
  // From Source (a display name or key the reader reads with; what has no
  // converter is read as UTF-8) into the encoding whose key is Output.
  TTranscoder(std::string_view source, std::string_view output);
  TTranscoder(const TTranscoder&) = delete;
  TTranscoder& operator=(const TTranscoder&) = delete;
  ~TTranscoder();

  // Writes the conversion of Text into Buffer from offset At on, keeping the
  // bytes before it (the buffer grows as needed); returns the offset after
  // it.
  size_t Convert(std::string_view text, TCodecBuffer& buffer, size_t at);
  // Appends the conversion of Text to Out.
  void Convert(std::string_view text, std::string& out);
  // The bytes the conversion of Text takes, worked out without counting
  // its replacements.
  size_t ConvertedSize(std::string_view text);
  // Where Text may be cut at or before Limit (below its size): the start of
  // the character there; 0 when the source's decoder cannot tell.
  size_t CharacterStartBefore(std::string_view text, size_t limit) const;

  // False when the output encoding has no encoder here (a name of no
  // character set, "koi8", or one this machine's iconv lacks): Convert
  // would then leave UTF-8 as it is.
  bool CanEncode() const;
  // The replacements written so far.
  int64_t Replaced() const { return static_cast<int64_t>(Replaced_); }

  // True when a text of whole lines converts as each of its lines and line
  // ends converts alone, into output whose line ends are the source's own
  // (LF, CR LF, CR; no other code unit becomes one): a stateless decoder
  // that writes UTF-8 (a table of pairs, UTF-16), or UTF-8 read by the
  // UTF-16 encoder. Such a text may then be converted as a run and its
  // lines found in the output, whose code units RunForm gives.
  bool ConvertsLineRuns() const { return LineRuns_; }
  TUnitForm RunForm() const { return RunForm_; }
  // With ConvertsLineRuns: writes the conversion of Text, whole lines, into
  // Buffer from its start; returns its size and adds its replacements to
  // Replaced, leaving them uncounted until CountReplaced.
  size_t ConvertRun(std::string_view text, TCodecBuffer& buffer, size_t& replaced);
  void CountReplaced(size_t replaced) { Replaced_ += replaced; }

 private:
  enum class TPath : uint8_t {
    Decode,        // the decoder writes the output (UTF-8)
    Encode,        // the source is UTF-8: the encoder reads it
    DecodeEncode,  // through UTF-8
  };

  std::unique_ptr<TTextDecoder> Decoder_;
  std::unique_ptr<TTextEncoder> Encoder_;
  TPath Path_ = TPath::DecodeEncode;
  // The decoder's U+FFFD reach the output as such (it has U+FFFD): they are
  // counted where they are made. Otherwise the encoder writes them as "?"
  // and counts them.
  bool CountDecoded_ = false;
  bool LineRuns_ = false;  // see ConvertsLineRuns
  TUnitForm RunForm_ = TUnitForm::Bytes;
  size_t Replaced_ = 0;
  TCodecBuffer Utf8_;     // a text's UTF-8 on the way through
  TCodecBuffer Scratch_;  // ConvertedSize's and the string form's output
};
