// Keeps the manual pages in step with the programs: QuillmereCmd's encoding
// table and lists of task-file keys, and quillmere's options, must be the
// programs' own, and both pages must format without warnings.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>

#include "app/USplitOptions.h"
#include "support/TestSupport.h"
#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"
#include "tasks/USessionSupport.h"
#include "text/UEncodings.h"

#if !defined(QUILLMERE_MANUAL_PAGE) || !defined(QUILLMERE_TOOL_MANUAL_PAGE)
#error "QUILLMERE_MANUAL_PAGE and QUILLMERE_TOOL_MANUAL_PAGE must name the manual page sources"
#endif

namespace {

// Undoes the escapes the page uses for plain characters and drops font changes.
std::string PlainText(const std::string& roff) {
  std::string text;
  for (size_t i = 0; i < roff.size(); ++i) {
    if (roff[i] != '\\' || i + 1 == roff.size()) {
      text += roff[i];
      continue;
    }
    char next = roff[i + 1];
    if (next == '-' || next == '\\') {
      text += next;
      ++i;
    } else if (next == 'e') {
      text += '\\';
      ++i;
    } else if (next == '&' || next == '%' || next == 'c') {
      ++i;
    } else if (next == 'f' && i + 2 < roff.size()) {
      i += 2;  // \fB, \fI, \fR, \fP
    } else if (next == '(' && i + 3 < roff.size()) {
      std::string name = roff.substr(i + 2, 2);
      text += name == "dq" ? "\"" : name == "aq" ? "'" : "?";
      i += 3;
    } else {
      text += roff[i];
    }
  }
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> ManualLines() { return Lines(ReadFile(QUILLMERE_MANUAL_PAGE)); }

// The index of the first line at or after From that equals Line; fails when none.
size_t Find(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  ADD_FAILURE() << "the manual page has no line " << line;
  return lines.size();
}

// The keys that a subsection of the page lists as ".TP" entries ".B Key".
std::vector<std::string> DocumentedKeys(const std::string& subsection) {
  std::vector<std::string> lines = ManualLines();
  std::vector<std::string> keys;
  for (size_t i = Find(lines, ".SS " + subsection) + 1; i + 1 < lines.size(); ++i) {
    if (lines[i].rfind(".SS", 0) == 0 || lines[i].rfind(".SH", 0) == 0) break;
    if (lines[i] == ".TP" && lines[i + 1].rfind(".B ", 0) == 0) keys.push_back(lines[i + 1].substr(3));
  }
  return keys;
}

// The keys of section [Split] that a session of the kind writes, in order.
std::vector<std::string> KeysWritten(TTaskSession& session) {
  TTempDir dir;
  session.WriteToIni(dir / "task.ini");
  std::vector<std::string> keys;
  for (const std::string& line : Lines(ReadFile(dir / "task.ini"))) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
  }
  return keys;
}

}  // namespace

TEST(ManualPage, ListsTheKeysOfEachTaskKind) {
  // QuotedFields and the keys after it are written only when set: every key is, so.
  auto set = [](TSplitSettings& s) {
    s.QuotedFields = true;
    s.Manifest = true;
    s.PieceName = "{n:3}";
    s.LineEnd = leLf;
    s.Compress = cmZstd;
    s.CompressLevel = 5;
    s.OutputEncoding = "UTF-8";
  };
  TFileSplitSession split;
  set(split.Settings);
  TBatchFileSplitSession batch;
  set(batch.Settings);
  EXPECT_EQ(DocumentedKeys("Split task (.sft)"), KeysWritten(split));
  EXPECT_EQ(DocumentedKeys("Batch task (.bst)"), KeysWritten(batch));
  // Every key either kind writes is one no warning calls unknown, and no other.
  std::set<std::string> written;
  for (TTaskSession* session : std::initializer_list<TTaskSession*>{&split, &batch})
    for (const std::string& key : KeysWritten(*session)) written.insert(key);
  EXPECT_EQ(written, std::set<std::string>(TaskFileKeys().begin(), TaskFileKeys().end()));
}

TEST(ManualPage, AliasTableIsTheProgramsTable) {
  // Rows after the heading: the key (both UCS-2 keys for the aliases that
  // follow the byte-order mark), TAB, its aliases in the program's order.
  std::vector<std::string> lines = ManualLines();
  size_t row = Find(lines, "\\fBKey\\fR\t\\fBAlso named\\fR") + 1;
  std::vector<std::pair<std::string, std::string>> documented;
  for (; row < lines.size() && lines[row] != ".fi"; ++row) {
    std::string text = PlainText(lines[row]);
    size_t tab = text.find('\t');
    ASSERT_NE(tab, std::string::npos) << "not a table row: " << text;
    documented.emplace_back(text.substr(0, tab), text.substr(tab + 1));
  }
  std::vector<std::pair<std::string, std::string>> program;
  for (const TEncodingAlias& alias : EncodingAliases()) {
    const std::string key = alias.Key.empty() ? "ucs2le or ucs2be" : std::string(alias.Key);
    if (!program.empty() && program.back().first == key)
      program.back().second += ", " + std::string(alias.Name);
    else
      program.emplace_back(key, std::string(alias.Name));
  }
  EXPECT_EQ(documented, program);
}

TEST(ManualPage, EncodingTableIsTheProgramsTable) {
  // The rows between the tab stops and the end of the block, after the heading:
  // display name, TAB, key, TAB, character set.
  std::vector<std::string> lines = ManualLines();
  size_t row = Find(lines, ".SH ENCODINGS");
  while (row < lines.size() && lines[row].rfind(".ta ", 0) != 0) ++row;
  row += 2;
  std::vector<TEncodingName> documented;
  for (; row < lines.size() && lines[row] != ".fi"; ++row) {
    std::string text = PlainText(lines[row]);
    size_t tab = text.find('\t');
    size_t second = text.find('\t', tab + 1);
    ASSERT_NE(second, std::string::npos) << "not a table row: " << text;
    documented.push_back({text.substr(tab + 1, second - tab - 1), text.substr(0, tab)});
  }
  const std::vector<TEncodingName>& table = EncodingNames();
  ASSERT_EQ(documented.size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(documented[i].Key, table[i].Key) << "row " << i + 1;
    EXPECT_EQ(documented[i].DisplayName, table[i].DisplayName) << "row " << i + 1;
  }
}

TEST(ManualPage, FormatsWithoutWarnings) {
  if (std::system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff is not installed";
  for (const char* page : {QUILLMERE_MANUAL_PAGE, QUILLMERE_TOOL_MANUAL_PAGE}) {
    std::string command = std::string("groff -man -ww -z '") + page + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << page;
    EXPECT_EQ(output, "") << page;
  }
}

// quillmere's page documents each option the program takes, in its order,
// as ".TP" entries under OPTIONS.
TEST(ManualPage, QuillmereOptionsAreTheProgramsOptions) {
  const std::vector<std::string> lines = Lines(ReadFile(QUILLMERE_TOOL_MANUAL_PAGE));
  std::vector<std::string> documented;
  for (size_t i = Find(lines, ".SH OPTIONS") + 1; i + 1 < lines.size() && !lines[i].starts_with(".SH "); ++i)
    if (lines[i] == ".TP") documented.push_back(PlainText(lines[i + 1]));
  EXPECT_EQ(documented, TSplitOptions::OptionForms());
}
