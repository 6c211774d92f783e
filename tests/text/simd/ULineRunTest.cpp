// Runs of lines copied at once, with every kernel set, against the lines the
// line scan hands out one by one, each copied with its record end.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/simd/UAvx512Kernels.h"
#include "text/simd/ULineRun.h"
#include "text/simd/ULineScanner.h"
#include "text/simd/UPlainKernels.h"
#include "text/simd/USse2Kernels.h"

namespace {

struct TCopied {
  TLineRun Run;
  std::string Out;
  bool operator==(const TCopied& other) const {
    return Run.Lines == other.Run.Lines && Run.InBytes == other.Run.InBytes && Run.OutBytes == other.Run.OutBytes &&
           (Run.Lines == 0 ||
            (Run.LastLineStart == other.Run.LastLineStart && Run.LastLineSize == other.Run.LastLineSize)) &&
           Out == other.Out;
  }
};

// The lines one by one, as far as CopyLineRun may go: those whose line end
// lies before the last 192 bytes, give or take the chunk it falls in.
TCopied Reference(const std::vector<char>& text, TUnitForm form, size_t room, int64_t most, const std::string& end) {
  const size_t scanned = text.size() >= 192 ? ((text.size() - 192) / 64 + 1) * 64 : 0;
  TBasicLineScanner<TPlainKernels> scanner;
  scanner.Reset({text.data(), text.size()}, form);
  TCopied copied;
  for (std::string_view line; copied.Run.Lines < most && scanner.Take(line);) {
    const size_t start = static_cast<size_t>(line.data() - text.data());
    if (start + line.size() >= scanned || copied.Out.size() + line.size() + end.size() > room) break;
    copied.Out += std::string(line) + end;
    copied.Run = {copied.Run.Lines + 1, start + line.size() + scanner.LineEndAfter(line).size(), copied.Out.size(),
                  start, line.size()};
  }
  return copied;
}

template <class TKernelSet, TUnitForm Form>
TCopied CopyAs(const std::vector<char>& text, size_t room, int64_t most, const std::string& end) {
  // Exactly the room and slack, so that a sanitizer sees a byte written
  // past them (or read past the text).
  std::vector<char> out(room + kLineRunSlack);
  TCopied copied;
  copied.Run = CopyLineRun<TKernelSet, Form>({text.data(), text.size()}, out.data(), room, most, end);
  copied.Out.assign(out.data(), copied.Run.OutBytes);
  return copied;
}

#ifdef __SSE2__
TCopied CopyZmm(const std::vector<char>& text, TUnitForm form, size_t room, int64_t most, const std::string& end) {
  std::vector<char> out(room + kLineRunSlack);
  TCopied copied;
  copied.Run = TAvx512Kernels::CopyLineRun(form, {text.data(), text.size()}, out.data(), room, most, end);
  copied.Out.assign(out.data(), copied.Run.OutBytes);
  return copied;
}
#endif

template <class TKernelSet>
TCopied Copy(const std::vector<char>& text, TUnitForm form, size_t room, int64_t most, const std::string& end) {
  if (form == TUnitForm::Utf16LE) return CopyAs<TKernelSet, TUnitForm::Utf16LE>(text, room, most, end);
  if (form == TUnitForm::Utf16BE) return CopyAs<TKernelSet, TUnitForm::Utf16BE>(text, room, most, end);
  return CopyAs<TKernelSet, TUnitForm::Bytes>(text, room, most, end);
}

}  // namespace

TEST(LineRun, EveryKernelSetCopiesTheLinesTheScanHandsOut) {
  std::mt19937 rng(20261209);
  // Bytes that make line ends in one form and none in another: a CR or LF
  // beside a zero byte, on either offset.
  const std::string pieces[] = {"\n",
                                "\r",
                                "\r\n",
                                "\r\n",
                                "a",
                                "xyz",
                                "\xE6\x97\xA5",
                                std::string(1, '\0'),
                                std::string("\r\0\n\0", 4),
                                std::string("\0\r\0\n", 4),
                                std::string("\n\0", 2)};
  const TUnitForm forms[] = {TUnitForm::Bytes, TUnitForm::Utf16LE, TUnitForm::Utf16BE};
  for (int round = 0; round < 3000; ++round) {
    const TUnitForm form = forms[round % 3];
    const size_t unit = form == TUnitForm::Bytes ? 1 : 2;
    std::string source;
    const size_t size = rng() % 1200;
    const bool crlf_only = round % 9 < 3;
    std::string crlf =
        form == TUnitForm::Bytes ? "\r\n" : std::string(form == TUnitForm::Utf16LE ? "\r\0\n\0" : "\0\r\0\n", 4);
    while (source.size() < size) {
      if (crlf_only) {
        source += std::string((rng() % 140) * unit, 'w') + crlf;
        continue;
      }
      source += pieces[rng() % std::size(pieces)];
      if (rng() % 8 == 0) source += std::string(rng() % 200, 'w');
    }
    const std::vector<char> text(source.begin(), source.end());
    const size_t room = rng() % 4 == 0 ? 1 << 20 : rng() % 1500;
    const int64_t most = rng() % 4 == 0 ? INT64_MAX : static_cast<int64_t>(rng() % 30);
    const std::string end = rng() % 2 ? crlf : crlf.substr(crlf.size() / 2);
    const TCopied expected = Reference(text, form, room, most, end);
    EXPECT_TRUE(Copy<TPlainKernels>(text, form, room, most, end) == expected) << "plain, round " << round;
#ifdef __SSE2__
    EXPECT_TRUE(Copy<TSse2Kernels>(text, form, room, most, end) == expected) << "SSE2, round " << round;
    if (TAvx512Kernels::Supported()) {
      EXPECT_TRUE(CopyZmm(text, form, room, most, end) == expected) << "AVX-512, round " << round;
    }
#endif
  }
}
