#include <gtest/gtest.h>

#include "app/UFileSplitCmdLineProcessor.h"
#include "app/UFileSplitSessionObjectFactory.h"
#include "execution/UBatchFileSplitSessionExecutor.h"
#include "execution/UFileSplitSessionExecutor.h"
#include "execution/ULogConvertOutputer.h"
#include "support/TestSupport.h"
#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"

TEST(SessionObjectFactory, ExtensionDecidesTheKindExactly) {
  TFileSplitSessionObjectFactory factory;
  struct Case {
    const char* name;
    bool task;
  } cases[] = {{"job.sft", true}, {"/x/job.bst", true}, {"job.SFT", false},         {"job.sft.txt", false},
               {"job", false},    {".sft", false},      {"/a/old.data/job", false}, {"/a/b.sft/job", false},
               {"a.b.sft", true}, {"job.sft~", false}};
  for (const Case& c : cases) EXPECT_EQ(factory.IsTaskFile(c.name), c.task) << c.name;
}

TEST(SessionObjectFactory, BuildsTheObjectsOfEachKind) {
  TTempDir dir;
  WriteFile(dir / "a.bst", "[Split]\nSourceFolder=/nowhere\nMaxLines=7\n");
  TFileSplitSessionObjectFactory factory;
  auto batch = factory.CreateSession(dir / "a.bst");
  ASSERT_NE(dynamic_cast<TBatchFileSplitSession*>(batch.get()), nullptr);
  EXPECT_EQ(dynamic_cast<TBatchFileSplitSession*>(batch.get())->Settings.MaxLines, 7);
  EXPECT_NE(dynamic_cast<TBatchFileSplitSessionExecutor*>(factory.CreateExecutor(dir / "a.bst").get()), nullptr);
  EXPECT_NE(dynamic_cast<TFileSplitSession*>(factory.CreateSession(dir / "missing.sft").get()), nullptr);
  EXPECT_NE(dynamic_cast<TFileSplitSessionExecutor*>(factory.CreateExecutor("x.sft").get()), nullptr);
  auto outputer = factory.CreateOutputer("x.sft", "/logs/run.log");
  ASSERT_NE(dynamic_cast<TLogConvertOutputer*>(outputer.get()), nullptr);
  EXPECT_EQ(outputer->LogFileName, "/logs/run.log");
  EXPECT_EQ(factory.CreateSession("x.txt"), nullptr);
}

TEST(CmdLineProcessor, OptionLookup) {
  TFileSplitCmdLineProcessor processor;
  processor.Params = {"x", "Task", "=v", "TASK= \t/a=b.sft \x01", "task=/second.sft", "-logfile=/no", "LogFile=/l.log"};
  EXPECT_EQ(processor.OptionValue("task"), "/a=b.sft");
  EXPECT_EQ(processor.OptionValue("logfile"), "/l.log");
  EXPECT_EQ(processor.OptionValue("other"), "");
}
