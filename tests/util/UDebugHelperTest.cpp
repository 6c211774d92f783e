#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "util/UDebugHelper.h"
#include "util/USettings.h"

TEST(AppConfigFolder, FollowsEnvironmentAndProgramName) {
  struct Case {
    const char *xdg, *home, *program, *folder;
  } cases[] = {
      {"/cfg", "/home/ann", "/usr/bin/Quillmere", "/cfg/Quillmere/"},
      {"/cfg", "/home/ann", "/usr/bin/quillmere", "/cfg/Quillmere/"},
      {"/cfg/", "/home/ann", "/x/QuillmereCmd", "/cfg/Quillmere/"},
      {nullptr, "/home/ann", "/x/QuillmereCmd", "/home/ann/.config/Quillmere/"},
      {"", "/home/ann_b", "/x/Quillmere_x64", "/home/ann_b/.config/Quillmere/"},
      {nullptr, "/home/ann/", "/x/QuillmereCmd_x64", "/home/ann/.config/Quillmere/"},
      {"/cfg", "/h", "/x/Other.bin", "/cfg/Other/"},
      // Only the program's name is mapped; the base keeps these words.
      {"/srv/Quillmere_backup/cfg", "/h", "/x/QuillmereCmd", "/srv/Quillmere_backup/cfg/Quillmere/"},
      {nullptr, "/home/QuillmereCmd", "/x/Quillmere_x64", "/home/QuillmereCmd/.config/Quillmere/"},
      {"/QuillmereCmd_1/", "/h", "/QuillmereCmd_1/Other", "/QuillmereCmd_1/Other/"},
  };
  std::string saved = ProgramFileName();
  for (const Case& c : cases) {
    TScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    TScopedEnv home("HOME", c.home);
    SetProgramFileName(c.program);
    EXPECT_EQ(TDebugHelper::GetAppConfigFolder("Quillmere"), c.folder) << c.program;
  }
  SetProgramFileName(saved);
}

TEST(DebugHelper, SystemFacts) {
  EXPECT_EQ(TDebugHelper::GetPlatformName(), "Linux");
  EXPECT_EQ(TDebugHelper::GetOSVersion().rfind("Linux", 0), 0u);
  EXPECT_GT(TDebugHelper::GetFreeMemory(), 0);
}

TEST(Settings, ReadsAndWritesTheAppSection) {
  TTempDir dir;
  TScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
  std::string saved = ProgramFileName();
  SetProgramFileName("/x/QuillmereCmd");
  EXPECT_EQ(GetSettingsFileName(), dir.Path() + "/Quillmere/conf.ini");
  EXPECT_EQ(ReadSetting("Never"), "");
  EXPECT_FALSE(PathExists(dir / "Quillmere"));
  EXPECT_ANY_THROW(WriteSetting("K", "V"));  // the folder is never created
  MakeDirs(dir / "Quillmere");
  WriteSetting("K", "V");
  EXPECT_EQ(ReadSetting("k"), "V");
  EXPECT_EQ(ReadFile(dir / "Quillmere/conf.ini"), "[App]\nK=V\n");
  SetProgramFileName(saved);
}
