#include "support/NothingLost.h"

#include <map>
#include <regex>

#include "support/TestSupport.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

namespace {

bool IsAuto(const std::string& encoding) { return encoding.empty() || IsAutoDetect(encoding); }

std::string Decode(const std::string& bytes, const std::string& encoding) {
  std::string text;
  TTextDecoder(encoding).Decode(bytes.data(), bytes.size(), text);
  return text;
}

// The pieces of a folder by number, and whatever else lies there.
struct TPieceFiles {
  std::map<int, std::string> Pieces;
  std::vector<std::string> Others;
};

TPieceFiles ReadPieces(const std::string& folder, const std::string& extension) {
  TPieceFiles found;
  if (!PathExists(folder)) return found;  // a run that failed before it made the folder
  for (const auto& [name, content] : FilesIn(folder)) {
    std::string number = name.substr(0, name.size() >= extension.size() ? name.size() - extension.size() : 0);
    int32_t n = 0;
    if (name.ends_with(extension) && !number.empty() && number[0] != '0' && number[0] != '+' && number[0] != '-' &&
        TryParseInt32(number, n) && n > 0) {
      found.Pieces[n] = content;
    } else {
      found.Others.push_back(name);
    }
  }
  return found;
}

struct TPieceLines {
  std::vector<std::string> Lines;
  std::string Problem;  // empty when every piece was well formed
};

// Each piece: its byte-order mark, then (when kept) the header, then lines
// each ending in CR LF.
TPieceLines LinesOfPieces(const TPieceFiles& files, const TSplitShape& shape, const std::string& header,
                          bool header_required) {
  TPieceLines result;
  const std::string out_key = NormalizeEncodingName(shape.Encoding);
  const std::string_view bom = IsAuto(shape.Encoding) ? std::string_view() : ByteOrderMarkOf(out_key);
  for (const auto& [number, bytes] : files.Pieces) {
    const std::string where = "piece " + std::to_string(number) + ": ";
    if (!bytes.starts_with(bom)) {
      result.Problem += where + "no byte-order mark\n";
      continue;
    }
    std::string text = IsAuto(shape.Encoding) ? bytes : Decode(bytes.substr(bom.size()), shape.Encoding);
    if (shape.KeepHeader && !text.empty()) {
      if (text.starts_with(header + "\r\n")) {
        text.erase(0, header.size() + 2);
      } else if (header_required) {
        result.Problem += where + "does not open with the header\n";
        continue;
      }
    }
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        result.Problem += where + "ends inside a line: \"" + text.substr(start, 60) + "\"\n";
        break;
      }
      result.Lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
  }
  return result;
}

struct TExpected {
  std::string Header;
  std::vector<std::string> Lines;  // the lines the pieces must hold: header and separators left out
  int64_t Separators = 0;          // records that by design reach no piece
  int64_t Records() const { return static_cast<int64_t>(Lines.size()) + Separators; }
};

TExpected ExpectedLines(const std::string& source_path, const TSplitShape& shape) {
  TExpected expected;
  std::vector<std::string> lines = SourceLines(source_path, shape.Encoding);
  size_t first = 0;
  if (shape.KeepHeader && !lines.empty()) {
    expected.Header = lines[0];
    first = 1;
  }
  const std::string separator = shape.IgnoreCase ? AsciiUpper(shape.Separator) : shape.Separator;
  for (size_t i = first; i < lines.size(); ++i) {
    if (shape.HasSeparator && (shape.IgnoreCase ? AsciiUpper(lines[i]) : lines[i]) == separator) {
      ++expected.Separators;
      continue;
    }
    expected.Lines.push_back(lines[i]);
  }
  return expected;
}

std::string Quote(const std::vector<std::string>& lines, size_t at) {
  return at < lines.size() ? "\"" + lines[at].substr(0, 60) + "\"" : "(none)";
}

}  // namespace

std::vector<std::string> CutLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  if (!lines.empty()) {
    for (std::string_view mark : {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF"}) {
      if (lines[0].starts_with(mark)) {
        lines[0].erase(0, mark.size());
        break;
      }
    }
  }
  return lines;
}

std::vector<std::string> SourceLines(const std::string& source_path, const std::string& encoding) {
  const std::string name = IsAuto(encoding) ? DetectFileEncoding(source_path) : encoding;
  return CutLines(Decode(ReadFile(source_path), name));
}

TSummary ParseSummary(const std::string& text) {
  static const std::regex summary(
      R"(^(\d+) records,    Elapsed: \d\d:\d\d:\d\d\.\d{3}(?: (\d+) records can not convert\.)?$)");
  std::smatch match;
  TSummary result;
  if (!std::regex_match(text, match, summary)) return result;
  result.Found = true;
  result.Converted = std::stoll(match[1].str());
  if (match[2].matched) result.Failed = std::stoll(match[2].str());
  return result;
}

TSummary SummaryOf(const std::vector<TLogEntry>& log) {
  for (const TLogEntry& entry : log)
    if (TSummary summary = ParseSummary(entry.Text); entry.Tag.empty() && summary.Found) return summary;
  return {};
}

::testing::AssertionResult NothingLost(const std::string& source_path, const std::string& dest_folder,
                                       const TSplitShape& shape, const TSummary& summary) {
  if (!summary.Found) return ::testing::AssertionFailure() << "no summary line";
  if (summary.Failed != 0) return ::testing::AssertionFailure() << summary.Failed << " lines failed";
  const TExpected expected = ExpectedLines(source_path, shape);
  const TPieceFiles files = ReadPieces(dest_folder, FileExtension(source_path));
  if (!files.Others.empty()) return ::testing::AssertionFailure() << "not a piece: " << files.Others[0];
  int next = 1;
  for (const auto& piece : files.Pieces)
    if (piece.first != next++) return ::testing::AssertionFailure() << "piece " << next - 1 << " is missing";
  const TPieceLines written = LinesOfPieces(files, shape, expected.Header, true);
  if (!written.Problem.empty()) return ::testing::AssertionFailure() << written.Problem;
  for (size_t i = 0; i < std::max(written.Lines.size(), expected.Lines.size()); ++i) {
    if (i >= written.Lines.size() || i >= expected.Lines.size() || written.Lines[i] != expected.Lines[i])
      return ::testing::AssertionFailure() << "line " << i + 1 << " of the pieces is " << Quote(written.Lines, i)
                                           << ", the source's is " << Quote(expected.Lines, i);
  }
  if (summary.Converted != expected.Records())
    return ::testing::AssertionFailure() << "the summary claims " << summary.Converted << " records, the pieces hold "
                                         << written.Lines.size() << " lines and the source " << expected.Separators
                                         << " separators";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult OnlySourceLines(const std::string& source_path, const std::string& dest_folder,
                                           const TSplitShape& shape, int64_t* count) {
  const TExpected expected = ExpectedLines(source_path, shape);
  const TPieceFiles files = ReadPieces(dest_folder, FileExtension(source_path));
  const TPieceLines written = LinesOfPieces(files, shape, expected.Header, false);
  if (!written.Problem.empty()) return ::testing::AssertionFailure() << written.Problem;
  // Each written line is the next source line that equals it: none invented,
  // altered, repeated or out of order.
  size_t at = 0;
  for (size_t i = 0; i < written.Lines.size(); ++i) {
    while (at < expected.Lines.size() && expected.Lines[at] != written.Lines[i]) ++at;
    if (at == expected.Lines.size())
      return ::testing::AssertionFailure()
             << "line " << i + 1 << " of the pieces, " << Quote(written.Lines, i) << ", is no source line in order";
    ++at;
  }
  if (count != nullptr) *count = static_cast<int64_t>(written.Lines.size());
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult CountsAreHonest(const std::string& source_path, const std::string& dest_folder,
                                           const TSplitShape& shape, const TSummary& summary) {
  if (!summary.Found) return ::testing::AssertionFailure() << "no summary line";
  int64_t written = 0;
  if (auto only = OnlySourceLines(source_path, dest_folder, shape, &written); !only) return only;
  // A separator line is a record that reaches no piece, so it may be
  // claimed beyond the lines written. A failed record may still be in a
  // piece: an end line is blamed when the piece after it cannot be created.
  const TExpected expected = ExpectedLines(source_path, shape);
  if (summary.Converted > written + expected.Separators)
    return ::testing::AssertionFailure() << "the summary claims " << summary.Converted << " records, the pieces hold "
                                         << written << " lines and the source " << expected.Separators << " separators";
  const int64_t records = expected.Records();
  if (summary.Converted + summary.Failed != records)
    return ::testing::AssertionFailure() << summary.Converted << " converted and " << summary.Failed
                                         << " failed records, but the source has " << records;
  return ::testing::AssertionSuccess();
}
