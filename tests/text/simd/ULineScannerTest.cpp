// The line scan with every kernel set over the same random texts, in every
// form of code units, against a plain cut of the text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/simd/ULineScanner.h"
#include "text/simd/UPlainKernels.h"
#include "text/simd/USse2Kernels.h"

namespace {

struct TLine {
  std::string Text, End;
  bool QuotesOdd;
  bool operator==(const TLine&) const = default;
};

const TUnitForm kForms[] = {TUnitForm::Bytes, TUnitForm::Utf16LE, TUnitForm::Utf16BE};

// The unit of Form at Bytes[At] is C (its high byte zero in UTF-16).
bool UnitIs(const std::string& bytes, size_t at, TUnitForm form, char c) {
  if (form == TUnitForm::Bytes) return bytes[at] == c;
  const size_t low = form == TUnitForm::Utf16BE ? 1 : 0;
  return bytes[at + low] == c && bytes[at + 1 - low] == '\0';
}

// The text cut at LF, CR and CR LF units, read unit by unit.
std::vector<TLine> ReferenceLines(const std::string& text, TUnitForm form) {
  const size_t unit = form == TUnitForm::Bytes ? 1 : 2;
  const size_t end = text.size() / unit * unit;
  std::vector<TLine> lines;
  size_t start = 0, at = 0;
  bool odd = false;
  auto line_end_at = [&](size_t i) { return UnitIs(text, i, form, '\n') || UnitIs(text, i, form, '\r'); };
  while (at < end) {
    if (!line_end_at(at)) {
      odd ^= UnitIs(text, at, form, '"');
      at += unit;
      continue;
    }
    const size_t length =
        UnitIs(text, at, form, '\r') && at + unit < end && UnitIs(text, at + unit, form, '\n') ? 2 : 1;
    lines.push_back({text.substr(start, at - start), text.substr(at, length * unit), odd});
    at += length * unit;
    start = at;
    odd = false;
  }
  if (start < end) lines.push_back({text.substr(start, end - start), "", odd});
  return lines;
}

// The offset after the last unit in [From, Size) that is LF, or CR with a
// unit after it that is not LF; 0 when none is.
size_t ReferenceCut(const std::string& window, size_t from, TUnitForm form) {
  const size_t unit = form == TUnitForm::Bytes ? 1 : 2;
  const size_t end = window.size() / unit * unit;
  for (size_t cut = end; cut >= from + unit && cut >= unit; cut -= unit) {
    const size_t at = cut - unit;
    if (UnitIs(window, at, form, '\n')) return cut;
    if (UnitIs(window, at, form, '\r') && cut < end && !UnitIs(window, cut, form, '\n')) return cut;
  }
  return 0;
}

template <class TKernelSet>
std::vector<TLine> ScanLines(const std::string& text, TUnitForm form, size_t known_free, bool quotes) {
  TBasicLineScanner<TKernelSet> scanner;
  if (quotes) scanner.TrackQuotes();
  // The text ends where the bytes end: nothing past it may be read.
  const std::string_view view(text.data(), form == TUnitForm::Bytes ? text.size() : text.size() / 2 * 2);
  scanner.Reset(view, form, known_free);
  std::vector<TLine> lines;
  for (std::string_view line; scanner.Take(line);) {
    const bool odd = quotes ? scanner.LineQuotesOdd() : TBasicLineScanner<TKernelSet>::CountQuotesOdd(line, form);
    lines.push_back({std::string(line), std::string(scanner.LineEndAfter(line)), odd});
  }
  return lines;
}

std::string RandomText(std::mt19937& rng) {
  static const std::string kPieces[] = {"\n",
                                        "\r",
                                        "\r\n",
                                        "\"",
                                        std::string("\n\0", 2),
                                        std::string("\0\r", 2),
                                        std::string("\"\0", 2),
                                        std::string(1, '\0'),
                                        "a",
                                        "\xC3\xBC"};
  std::string text;
  const size_t size = rng() % 400;
  while (text.size() < size) {
    text += kPieces[rng() % std::size(kPieces)];
    if (rng() % 20 == 0) text += std::string(rng() % 150, 'w');
  }
  return text;
}

}  // namespace

TEST(LineScanner, EveryKernelSetCutsAsThePlainCutDoes) {
  std::mt19937 rng(20261209);
  for (int round = 0; round < 600; ++round) {
    const std::string text = RandomText(rng);
    for (TUnitForm form : kForms) {
      const std::vector<TLine> expected = ReferenceLines(text, form);
      // Bytes up to the first line end may be known to hold none.
      size_t known_free = 0;
      if (!expected.empty() && rng() % 2 == 0) known_free = expected[0].Text.size();
      for (bool quotes : {false, true}) {
        ASSERT_EQ(ScanLines<TPlainKernels>(text, form, known_free, quotes), expected)
            << "plain, round " << round << ", form " << static_cast<int>(form);
#ifdef __SSE2__
        ASSERT_EQ(ScanLines<TSse2Kernels>(text, form, known_free, quotes), expected)
            << "SSE2, round " << round << ", form " << static_cast<int>(form);
#endif
      }
      const size_t from = rng() % (text.size() + 1) / 2 * 2;
      EXPECT_EQ(TBasicLineScanner<TPlainKernels>::FindCut(text.data(), from, text.size(), form),
                ReferenceCut(text, from, form))
          << "plain, round " << round;
#ifdef __SSE2__
      EXPECT_EQ(TBasicLineScanner<TSse2Kernels>::FindCut(text.data(), from, text.size(), form),
                ReferenceCut(text, from, form))
          << "SSE2, round " << round;
#endif
    }
  }
}
