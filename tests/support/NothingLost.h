// Checks that a split kept every line: what the pieces on disk hold against
// what the source holds and what the summary claims.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/Sandbox.h"

// The lines of a UTF-8 text cut the simple way, all at once: LF, CR and CR
// LF each end a line, a final line end adds no empty line, and a byte-order
// mark that opens the text is dropped.
std::vector<std::string> CutLines(std::string_view text);

// The source file's lines as the program must read them: decoded whole in
// Encoding (detected when empty or "Auto Detect"), then cut.
std::vector<std::string> SourceLines(const std::string& source_path, const std::string& encoding);

// What the rule does to the pieces beyond holding the source's lines.
struct TSplitShape {
  std::string Encoding = "UTF-8";  // the task's SourceEncoding: the pieces are written in it
  bool KeepHeader = false;         // "Lines": the source's first line opens every piece
  bool HasSeparator = false;       // "Symbol"/"Separator": lines equal to Separator reach no piece
  std::string Separator = {};
  bool IgnoreCase = false;
};

// The summary line's counts ("N records,    Elapsed: ..." and "M records can
// not convert.").
struct TSummary {
  bool Found = false;
  int64_t Converted = 0;
  int64_t Failed = 0;
};
TSummary ParseSummary(const std::string& text);
// The first summary line among a log file's entries (not found when none).
TSummary SummaryOf(const std::vector<TLogEntry>& log);

// For a finished run without failures: the pieces 1, 2, ... of DestFolder
// (named by number and the source's extension, nothing else beside them),
// each stripped of its byte-order mark and header, decoded and concatenated,
// equal the source's lines each ending in CR LF, separator lines left out;
// and the summary's count equals the number of lines written (a separator
// line is a record too: it counts, though by design it reaches no piece).
::testing::AssertionResult NothingLost(const std::string& source_path, const std::string& dest_folder,
                                       const TSplitShape& shape, const TSummary& summary);

// For any run, also one that failed: every line in the pieces is a whole
// line of the source, in source order, none repeated, and no piece ends
// inside a line. Count receives the number of lines the pieces hold.
::testing::AssertionResult OnlySourceLines(const std::string& source_path, const std::string& dest_folder,
                                           const TSplitShape& shape, int64_t* count = nullptr);

// For a run in which lines failed: every line in the pieces is a whole line
// of the source, in source order, none repeated; the summary claims no more
// records than the pieces hold (separator lines, which reach no piece,
// aside), so every line that reached no piece counts as failed; and claimed
// plus failed records make up every line of the source. Piece numbers may
// have gaps.
::testing::AssertionResult CountsAreHonest(const std::string& source_path, const std::string& dest_folder,
                                           const TSplitShape& shape, const TSummary& summary);
