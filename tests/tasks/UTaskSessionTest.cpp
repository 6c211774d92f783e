// What both task kinds inherit from the session base: file name, backup
// copy, new sessions. Each case runs for both kinds.
#include <gtest/gtest.h>

#include <functional>

#include "support/TestSupport.h"
#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"
#include "tasks/UTaskSession.h"
#include "util/UErrors.h"

namespace {

struct TKind {
  const char* Name;
  std::function<std::unique_ptr<TTaskSession>()> Create;
  // Changes one setting so that a save writes something different.
  std::function<void(TTaskSession&, const std::string&)> SetDest;
  std::function<bool&(TTaskSession&)> QuotedFields;
};

const TKind kKinds[] = {
    {"split", [] { return std::make_unique<TFileSplitSession>(); },
     [](TTaskSession& s, const std::string& dest) { dynamic_cast<TFileSplitSession&>(s).DestFolder = dest; },
     [](TTaskSession& s) -> bool& { return dynamic_cast<TFileSplitSession&>(s).Settings.QuotedFields; }},
    {"batch", [] { return std::make_unique<TBatchFileSplitSession>(); },
     [](TTaskSession& s, const std::string& dest) { dynamic_cast<TBatchFileSplitSession&>(s).DestFolder = dest; },
     [](TTaskSession& s) -> bool& { return dynamic_cast<TBatchFileSplitSession&>(s).Settings.QuotedFields; }},
};

// Failure messages name the kind rather than dump the struct's bytes.
void PrintTo(const TKind& kind, std::ostream* out) { *out << kind.Name; }

class TaskSession : public ::testing::TestWithParam<TKind> {
 protected:
  TTempDir Dir;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(BothKinds, TaskSession, ::testing::ValuesIn(kKinds),
                         [](const auto& param_info) { return std::string(param_info.param.Name); });

TEST_P(TaskSession, SavingANewFileMakesNoBackup) {
  auto session = GetParam().Create();
  session->SaveToFile(Dir / "job");
  EXPECT_EQ(session->FileName, Dir / "job");
  EXPECT_TRUE(PathExists(Dir / "job"));
  EXPECT_FALSE(PathExists(Dir / "job.bak"));
}

TEST_P(TaskSession, BackupHoldsThePreviousSave) {
  auto session = GetParam().Create();
  GetParam().SetDest(*session, "/first");
  session->SaveToFile(Dir / "job");
  std::string first = ReadFile(Dir / "job");
  GetParam().SetDest(*session, "/second");
  session->SaveToFile(Dir / "job");
  EXPECT_EQ(ReadFile(Dir / "job.bak"), first);
  EXPECT_NE(ReadFile(Dir / "job"), first);
}

TEST_P(TaskSession, FailedBackupDoesNotStopTheSave) {
  WriteFile(Dir / "job", "[Split]\n");
  MakeDirs(Dir / "job.bak");  // A folder where the backup would go.
  auto session = GetParam().Create();
  GetParam().SetDest(*session, "/saved");
  session->SaveToFile(Dir / "job");
  EXPECT_NE(ReadFile(Dir / "job").find("DestFolder=/saved"), std::string::npos);
}

TEST_P(TaskSession, WriteFailureRaisesAndKeepsTheNewName) {
  auto session = GetParam().Create();
  std::string path = Dir / "no/such/folder/job";
  EXPECT_THROW(session->SaveToFile(path), EInOutError);
  EXPECT_EQ(session->FileName, path);
}

TEST_P(TaskSession, NewSessionOfALoadedSessionHasZeroSettings) {
  auto session = GetParam().Create();
  session->LoadFromFile(Dir / "missing");  // Reads defaults without error.
  auto fresh = session->NewSession();
  EXPECT_TRUE(fresh->FileName.empty());
  EXPECT_EQ(fresh->DefaultExt, session->DefaultExt);
  EXPECT_TRUE(fresh->IsSameAs(*GetParam().Create()));
  EXPECT_FALSE(fresh->IsSameAs(*session));  // Loading set the INI defaults.
  EXPECT_EQ(session->FileName, Dir / "missing");
}

// QuotedFields is written only by tasks that use it or already hold it,
// and described only when true: other tasks keep their files and texts.
TEST_P(TaskSession, QuotedFieldsIsSavedAndDescribedOnlyWhereUsed) {
  auto session = GetParam().Create();
  GetParam().SetDest(*session, "/out");
  session->SaveToFile(Dir / "job");
  const std::string plain = ReadFile(Dir / "job");
  EXPECT_EQ(plain.find("QuotedFields"), std::string::npos);
  std::string plain_text;
  session->GetDescription(plain_text);

  GetParam().QuotedFields(*session) = true;
  EXPECT_FALSE(session->IsSameAs(*GetParam().Create()));
  session->SaveToFile(Dir / "job");
  EXPECT_NE(ReadFile(Dir / "job").find("IgnoreCase=0\nQuotedFields=1\n"), std::string::npos) << ReadFile(Dir / "job");
  std::string text;
  session->GetDescription(text);
  EXPECT_EQ(text, plain_text + (plain_text.ends_with("\r\n") ? "" : "\r\n") + "Quoted Fields: True");

  auto loaded = GetParam().Create();
  loaded->LoadFromFile(Dir / "job");
  EXPECT_TRUE(GetParam().QuotedFields(*loaded));
  GetParam().QuotedFields(*loaded) = false;
  loaded->SaveToFile(Dir / "job");
  EXPECT_NE(ReadFile(Dir / "job").find("QuotedFields=0"), std::string::npos);
}

TEST(TaskSessionKinds, ComparingDifferentKindsRaises) {
  TFileSplitSession split;
  TBatchFileSplitSession batch;
  EXPECT_THROW(split.IsSameAs(batch), EInvalidCast);
  EXPECT_THROW(batch.IsSameAs(split), EInvalidCast);
}

// A key of the other kind is no unknown key; SourceIncludeSub takes effect
// in a batch only, and KeepHeader under "Lines" only.
TEST_P(TaskSession, NamesUnknownKeysAndTheInvalidValuesThatTakeEffect) {
  TTempDir dir;
  WriteFile(dir / "job",
            "[Split]\nMaxLine=5\nsourcefile=x\nSourceFolder=y\nKeepHeader=maybe\nSourceIncludeSub=2\n"
            "IgnoreCase=maybe\nmaxline=6\n[Other]\nFoo=1\n");
  auto session = GetParam().Create();
  session->LoadFromFile(dir / "job");
  EXPECT_EQ(session->UnknownKeys, std::vector<std::string>{"MaxLine"});
  std::vector<std::string> invalid = {
      "Invalid value \"maybe\" for KeepHeader: 1, true, yes or on; 0, false, no or off."};
  if (std::string(GetParam().Name) == "batch")
    invalid.push_back("Invalid value \"2\" for SourceIncludeSub: 1, true, yes or on; 0, false, no or off.");
  EXPECT_EQ(session->InvalidValues(), invalid);
}
