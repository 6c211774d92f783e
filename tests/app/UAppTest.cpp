#include <gtest/gtest.h>

#include "app/UApp.h"
#include "app/UModules.h"
#include "app/UQuillmereCmd.h"
#include "app/UUIAgent.h"
#include "log/UFileLogAppender.h"
#include "log/ULog.h"
#include "log/ULogger.h"
#include "log/UMemoryLogAppender.h"
#include "support/TestSupport.h"
#include "util/UErrors.h"
#include "util/UProcessArgs.h"

TEST(AppSpine, StartUpAttachesMemoryLogThenExceptionLog) {
  TTempDir dir;
  TScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
  SetProcessArguments({});
  TModules modules;
  TQuillmereCmd app;
  EXPECT_EQ(&TQuillmereCmd::Instance(), &app);
  EXPECT_EQ(&TApp::Instance(), &app);
  EXPECT_EQ(app.AppName(), "Quillmere");
  const auto& appenders = TLog::Global().Appenders();
  ASSERT_EQ(appenders.size(), 2u);
  EXPECT_EQ(appenders[0], MemoryLog);
  EXPECT_EQ(appenders[1], UIAgent->ExceptionLogAppender());
  EXPECT_EQ(UIAgent->ExceptionLogAppender()->Level(), static_cast<uint32_t>(llError));
  EXPECT_FALSE(UIAgent->Confirm(""));
  EXPECT_THROW(TQuillmereCmd second, EAbort);

  // Without arguments Run only logs the start line, in memory.
  app.Run();
  ASSERT_FALSE(MemoryLog->Lines().empty());
  EXPECT_NE(MemoryLog->Lines().back().find("[debug]\tStart Quillmere"), std::string::npos);
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
}

TEST(AppSpine, InstanceWithoutObjectRaises) {
  ASSERT_EQ(AppInstance, nullptr);
  try {
    TApp::Instance();
    FAIL() << "no exception";
  } catch (const EQuillmereError& e) {
    EXPECT_STREQ(e.what(), "TApp not create.");
  }
}
