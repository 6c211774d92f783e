// The transcoder against iconv for every pair of the encodings users convert
// between, whole and cut at every place it says a text may be cut.
#include <gtest/gtest.h>

#include "support/ConversionReference.h"
#include "text/UEncodings.h"
#include "text/UTranscoder.h"

namespace {

// Sample lines of Key joined by line ends of every kind.
std::string SampleText(const std::string& key, uint32_t seed) {
  static const char* const kEnds[] = {"\n", "\r\n", "\r"};
  std::string text;
  size_t i = 0;
  for (const std::string& line : SampleLines(key, seed, 60)) text += line + LineEndIn(key, kEnds[i++ % 3]);
  return text;
}

std::string Convert(TTranscoder& transcoder, std::string_view text) {
  std::string out = "<";  // Convert appends
  transcoder.Convert(text, out);
  return out.substr(1);
}

}  // namespace

TEST(Transcoder, ConvertsEveryPairAsIconvDoes) {
  for (const std::string& source : kConvertedKeys) {
    const std::string text = SampleText(source, 3);
    for (const std::string& output : kConvertedKeys) {
      const TReferenceConversion expected = ConvertThroughIconv(text, source, output);
      TTranscoder transcoder(source, output);
      EXPECT_EQ(Convert(transcoder, text), expected.Bytes) << source << " to " << output;
      EXPECT_EQ(transcoder.Replaced(), expected.Replaced) << source << " to " << output;
      EXPECT_EQ(transcoder.ConvertedSize(text), expected.Bytes.size()) << source << " to " << output;
      EXPECT_EQ(transcoder.Replaced(), expected.Replaced) << "measuring counts nothing";
    }
  }
}

TEST(Transcoder, TextCutWhereItSaysConvertsAsWhole) {
  for (const std::string& source : kConvertedKeys) {
    const std::string text = SampleText(source, 9).substr(0, 400);
    const std::string output = source == "utf8" ? "ucs2be" : "utf8";
    TTranscoder transcoder(source, output);
    const std::string whole = Convert(transcoder, text);
    for (size_t limit = 1; limit < text.size(); ++limit) {
      const size_t cut = transcoder.CharacterStartBefore(text, limit);
      ASSERT_LE(cut, limit) << source;
      ASSERT_GT(cut + 4, limit) << source << " at " << limit;
      EXPECT_EQ(Convert(transcoder, text.substr(0, cut)) + Convert(transcoder, text.substr(cut)), whole)
          << source << " cut at " << cut;
    }
  }
}
