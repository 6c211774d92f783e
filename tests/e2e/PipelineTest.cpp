// Pieces that a program reading the destination can trust: a piece under
// its name is whole, a manifest is there exactly when the split completed
// and lists the pieces as they are, and clearing follows the names.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "support/Sandbox.h"
#include "util/USha256.h"

namespace {

using TPieces = std::map<std::string, std::string>;

class Pipeline : public TSandbox {
 protected:
  // Entries of the destination named as no piece is: temporary names.
  static std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.path().filename().string().starts_with(".")) names.push_back(entry.path().filename());
    return names;
  }
  // The manifest the pieces of Folder call for, in the order of Names.
  static std::string ManifestOf(const TPieces& pieces, const std::vector<std::string>& names, int header_lines) {
    std::string text = "piece\trecords\tbytes\tsha256\n";
    for (const std::string& name : names) {
      const std::string& bytes = pieces.at(name);
      TSha256 sha;
      sha.Update(bytes.data(), bytes.size());
      const auto lines = std::count(bytes.begin(), bytes.end(), '\n') - header_lines;
      text += name + "\t" + std::to_string(lines) + "\t" + std::to_string(bytes.size()) + "\t" + sha.FinishHex() + "\n";
    }
    return text;
  }
};

// Killed at random moments, a split leaves under a piece's name only the
// whole piece a finished run writes there, and a manifest only once every
// piece is there; the next run leaves nothing under a temporary name.
TEST_F(Pipeline, KilledSplitLeavesOnlyWholePiecesUnderTheirNames) {
  std::string text;
  for (int i = 1; i <= 3000; ++i) text += "record " + std::to_string(i) + ",some field,another field\n";
  WriteFile(Work("src.csv"), text);
  const std::string task = WriteTask("job.sft", {"SourceFile=" + Work("src.csv"), "DestFolder=" + Work("out"),
                                                 "SplitByType=Lines", "MaxLines=7", "Manifest=1"});
  const auto start = std::chrono::steady_clock::now();
  RunTask(task);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  const TPieces whole = FilesIn(Work("out"));
  ASSERT_EQ(whole.size(), 429u + 1);  // and the manifest
  std::mt19937 random(22);
  std::uniform_int_distribution<int64_t> moment(0, took.count() * 3 / 2);
  int cut_short = 0;
  for (int run = 0; run < 12; ++run) {
    const int64_t kill_after = moment(random);
    SCOPED_TRACE("killed after " + std::to_string(kill_after) + " us");
    const TProgramResult result = RunProgram(QUILLMERE_BIN, {"task=" + task, "logfile=" + Log}, Work(""), Environment(),
                                             {.KillAfterMicroseconds = kill_after});
    cut_short += result.ExitStatus == 128 + SIGKILL;
    const TPieces left = FilesIn(Work("out"));
    for (const auto& [name, bytes] : left) {
      if (name.starts_with(".")) continue;  // a temporary name
      ASSERT_TRUE(whole.contains(name)) << name;
      EXPECT_EQ(bytes, whole.at(name)) << name;
    }
    if (left.contains("_manifest.tsv")) {
      EXPECT_EQ(left, whole);
    }
  }
  EXPECT_GT(cut_short, 0);
  RunTask(task);
  EXPECT_EQ(FilesIn(Work("out")), whole);
  EXPECT_EQ(Leftovers(Work("out")), std::vector<std::string>{});
}

// The manifest lists every piece in order with its records (a kept header
// is none), size and SHA-256; every way a run can fail leaves none behind.
TEST_F(Pipeline, ManifestListsThePiecesAndNoFailingRunLeavesOne) {
  const std::string source = "id,v\n1,a\n2,\"b\nc\"\n3,c\n4,d\n5,e\n";
  const std::vector<std::string> settings = {"SourceFile=" + Work("src.csv"),
                                             "DestFolder=" + Work("out"),
                                             "SplitByType=Lines",
                                             "MaxLines=2",
                                             "KeepHeader=1",
                                             "QuotedFields=1",
                                             "PieceName=p{n:2}{ext}",
                                             "Manifest=yes"};
  WriteFile(Work("src.csv"), source);
  RunTask(WriteTask("job.sft", settings));
  TPieces pieces = FilesIn(Work("out"));
  const std::string manifest = pieces["_manifest.tsv"];
  pieces.erase("_manifest.tsv");
  ASSERT_EQ(pieces.size(), 3u);
  std::string expected = ManifestOf(pieces, {"p01.csv", "p02.csv", "p03.csv"}, 1);
  expected.replace(expected.find("p01.csv\t3"), 9, "p01.csv\t2");  // a record of two lines
  EXPECT_EQ(manifest, expected);

  struct Case {
    const char* name;
    std::vector<std::string> more_settings;
    std::function<void()> fault;
    TRunLimits limits;
  } cases[] = {
      {"missing source", {}, [&] { std::filesystem::remove(Work("src.csv")); }, {}},
      {"compressed source", {}, [&] { WriteFile(Work("src.csv"), "\x1F\x8B\x08\x00"); }, {}},
      {"invalid value", {"LineEnd=CR"}, [] {}, {}},
      {"piece that cannot be created",
       {},
       [&] {
         std::filesystem::remove(Work("out/p02.csv"));
         WriteFile(Work("out/p02.csv/x"), "");
       },
       {}},
      // The log file too must stay below the limit.
      {"out of room",
       {},
       [&] { WriteFile(Work("src.csv"), "id,v\n1," + std::string(5000, 'x') + "\n2,b\n"); },
       {.FileSizeLimit = 4096}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Work("out"));
    std::filesystem::remove(Log);
    WriteFile(Work("src.csv"), source);
    RunTask(WriteTask("job.sft", settings));
    ASSERT_TRUE(PathExists(Work("out/_manifest.tsv")));
    c.fault();
    std::vector<std::string> failing = settings;
    failing.insert(failing.end(), c.more_settings.begin(), c.more_settings.end());
    Run({"task=" + WriteTask("job.sft", failing), "logfile=" + Log}, "", Environment(), c.limits);
    EXPECT_TRUE(ParseLog(ReadFile(Log)).back().Text.starts_with("Result: failed"));
    EXPECT_FALSE(PathExists(Work("out/_manifest.tsv")));
    EXPECT_EQ(Leftovers(Work("out")), std::vector<std::string>{});
  }
}

// Clearing follows the names: the unbroken run the template gives, and,
// with a manifest there, whatever pieces it lists; a batch writes a
// manifest into every piece folder, and a refused one removes them.
TEST_F(Pipeline, ClearingTakesTheListedPiecesAndTheTemplatesNames) {
  WriteFile(Work("in/a.txt"), "1\n2\n3\n");
  WriteFile(Work("in/b.txt"), "4\n5\n");
  const std::vector<std::string> batch = {"SourceFolder=" + Work("in"), "SourceMask=*.txt", "DestFolder=" + Work("out"),
                                          "SplitByType=Lines",          "MaxLines=1",       "Manifest=1"};
  auto with = [](std::vector<std::string> settings, const std::string& more) {
    std::erase_if(settings, [&](const std::string& s) { return s.starts_with(more.substr(0, more.find('='))); });
    settings.push_back(more);
    return settings;
  };
  RunTask(WriteTask("job.bst", with(batch, "PieceName={name}.{n:3}")));
  EXPECT_EQ(FilesIn(Work("out/a_split")).size(), 3u + 1);
  EXPECT_EQ(ReadFile(Work("out/b_split/_manifest.tsv")),
            ManifestOf(FilesIn(Work("out/b_split")), {"b.001", "b.002"}, 0));
  // A batch refused for a value it cannot take removes every piece folder's manifest.
  RunTask(WriteTask("job.bst", with(batch, "LineEnd=CR")));
  EXPECT_FALSE(PathExists(Work("out/a_split/_manifest.tsv")));
  EXPECT_FALSE(PathExists(Work("out/b_split/_manifest.tsv")));
  RunTask(WriteTask("job.bst", with(batch, "PieceName={name}.{n:3}")));
  WriteFile(Work("out/a_split/a.009"), "not listed");
  RunTask(WriteTask("job.bst", with(batch, "PieceName={n}")));
  auto log = RunTask(WriteTask("job.bst", with(with(batch, "PieceName=x{n}"), "Manifest=0")));
  int cleared = 0;
  for (const TLogEntry& entry : log) cleared += entry.Text.starts_with("Cleared 3 earlier pieces from");
  EXPECT_GE(cleared, 1);
  EXPECT_EQ(FilesIn(Work("out/a_split")),
            (TPieces{{"a.009", "not listed"}, {"x1", "1\r\n"}, {"x2", "2\r\n"}, {"x3", "3\r\n"}}));
}

}  // namespace
