#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"

namespace {
TIniFile Load(const TTempDir& dir, const std::string& text) {
  WriteFile(dir / "t.ini", text);
  return TIniFile(dir / "t.ini");
}
}  // namespace

TEST(IniFile, ReadingRules) {
  TTempDir dir;
  TIniFile ini = Load(dir,
                      "\xEF\xBB\xBF; comment\nOrphan=1\n\t[sPLIT]  \r\n  Key = value with = sign  \r\n"
                      ";Hidden=1\nnoequals\nKey=second\nQuoted=\"  x \"\nSingle='y'\nMixed=\"z'\nOne=\"\n"
                      "[Other]\nKey=other\n");
  EXPECT_EQ(ini.ReadString("Split", "key", "d"), "value with = sign");
  EXPECT_EQ(ini.ReadString("Split", "Orphan", "d"), "d");
  EXPECT_EQ(ini.ReadString("Split", "Hidden", "d"), "d");
  EXPECT_EQ(ini.ReadString("Split", "Quoted", "d"), "  x ");
  EXPECT_EQ(ini.ReadString("Split", "Single", "d"), "y");
  EXPECT_EQ(ini.ReadString("Split", "Mixed", "d"), "\"z'");
  EXPECT_EQ(ini.ReadString("Split", "One", "d"), "\"");
  EXPECT_EQ(ini.ReadString("OTHER", "KEY", "d"), "other");
  EXPECT_EQ(ini.ReadString("Missing", "Key", "d"), "d");
  EXPECT_EQ(ini.KeysOf("split"), (std::vector<std::string>{"Key", "Quoted", "Single", "Mixed", "One"}));
}

TEST(IniFile, IntegerAndBooleanRules) {
  TTempDir dir;
  TIniFile ini = Load(dir, "[S]\nA=12x\nB=-3\nC=9223372036854775808\nD=3000000000\nE=\nT1=1abc\nT2=true\nT3=\nT4=01\n");
  EXPECT_EQ(ini.ReadInt64("S", "A", 5), 5);
  EXPECT_EQ(ini.ReadInt64("S", "B", 5), -3);
  EXPECT_EQ(ini.ReadInt64("S", "C", 5), 5);
  EXPECT_EQ(ini.ReadInt64("S", "D", 5), 3000000000LL);
  EXPECT_EQ(ini.ReadInteger("S", "D", 5), 5);
  EXPECT_EQ(ini.ReadInt64("S", "E", 100), 100);
  EXPECT_TRUE(ini.ReadBool("S", "T1", false));
  EXPECT_FALSE(ini.ReadBool("S", "T2", true));
  EXPECT_TRUE(ini.ReadBool("S", "T3", true));
  EXPECT_FALSE(ini.ReadBool("S", "T4", true));
}

TEST(IniFile, WritingKeepsOtherLinesAndReplacesInPlace) {
  TTempDir dir;
  TIniFile ini = Load(dir, "; top\n[Split]\nExtra=keep\nKey=old\n\n[Other]\nX=1\n");
  ini.WriteString("SPLIT", "key", "new");
  ini.WriteString("Split", "Added", "v");
  ini.WriteBool("Third", "Flag", true);
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(dir / "t.ini"),
            "; top\n[Split]\nExtra=keep\nkey=new\nAdded=v\n\n[Other]\nX=1\n\n[Third]\nFlag=1\n");
}

TEST(IniFile, PaddedOrQuotedValuesSurviveARoundTrip) {
  TTempDir dir;
  TIniFile ini(dir / "new.ini");
  for (std::string value : {"  #", "\"q\"", "'", "plain", ""}) {
    ini.WriteString("S", "V", value);
    ini.UpdateFile();
    EXPECT_EQ(TIniFile(dir / "new.ini").ReadString("S", "V", "d"), value);
  }
}

// Found by fuzzing: saving dropped the mark, so that a second mark opening
// the first line came to open the file and was dropped when read back,
// turning "<mark>[Split]" into a section header that read other keys.
TEST(IniFile, WritingKeepsAByteOrderMarkAndWhatTheFileMeant) {
  TTempDir dir;
  const std::string mark = "\xEF\xBB\xBF";
  for (const std::string& text : {mark + "[Split]\nKey=1\n", mark + mark + "[Split]\nKey=1\n"}) {
    TIniFile ini = Load(dir, text);
    const std::string before = ini.ReadString("Split", "Key", "d");
    ini.WriteString("Other", "Added", "v");
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(dir / "t.ini"), text + "\n[Other]\nAdded=v\n");
    EXPECT_EQ(TIniFile(dir / "t.ini").ReadString("Split", "Key", "d"), before);
  }
}

TEST(IniFile, MissingFileReadsEmptyAndUnwritablePathRaises) {
  TTempDir dir;
  TIniFile ini(dir / "none.ini");
  EXPECT_EQ(ini.ReadInt64("S", "K", 100), 100);
  TIniFile bad(dir / "missing/x.ini");
  bad.WriteString("S", "K", "v");
  EXPECT_THROW(bad.UpdateFile(), EInOutError);
}
