#include <gtest/gtest.h>

#include "app/USplitOptions.h"

namespace {

using TKeys = std::vector<std::pair<std::string, std::string>>;

TSplitOptions Parse(std::vector<std::string> arguments) { return TSplitOptions::Parse(arguments); }

std::string UsageError(std::vector<std::string> arguments) {
  try {
    TSplitOptions::Parse(arguments);
  } catch (const EUsageError& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

// Every way getopt_long gives a value reaches the same key.
TEST(SplitOptions, ValuesInEveryConventionalForm) {
  const std::vector<std::vector<std::string>> forms = {
      {"-l", "5", "a.csv"}, {"-l5", "a.csv"}, {"--lines=5", "a.csv"}, {"--lines", "5", "a.csv"}, {"a.csv", "-l", "5"},
  };
  for (const auto& form : forms) {
    const TSplitOptions options = Parse(form);
    EXPECT_EQ(options.Keys, (TKeys{{"SplitByType", "Lines"}, {"MaxLines", "5"}})) << form[0];
    EXPECT_EQ(options.Arguments, std::vector<std::string>{"a.csv"}) << form[0];
    EXPECT_EQ(options.Rule, "--lines");
  }
}

TEST(SplitOptions, EachOptionSetsItsKeyOrItsField) {
  TSplitOptions o = Parse({"-qri", "--header", "--csv", "-e", "cp1251", "--encoding=utf-8", "--mask=*.txt", "--log",
                           "run.log", "--start-with= #", "--write-task=j.sft", "--progress", "src", "dst"});
  EXPECT_EQ(o.Keys, (TKeys{{"IgnoreCase", "1"},
                           {"KeepHeader", "1"},
                           {"QuotedFields", "1"},
                           {"SourceEncoding", "cp1251"},
                           {"SourceEncoding", "utf-8"},
                           {"SplitByType", "Symbol"},
                           {"SymbolValue", " #"},
                           {"SymbolType", "Start With"}}));
  EXPECT_EQ(o.SettingOptions,
            (std::vector<std::string>{"--ignore-case", "--header", "--csv", "--encoding", "--encoding"}));
  EXPECT_EQ(o.RuleValue, " #");
  EXPECT_TRUE(o.Quiet && o.Recursive && o.MaskGiven);
  EXPECT_EQ(o.Mask, "*.txt");
  EXPECT_EQ(o.LogFile, "run.log");
  EXPECT_EQ(o.WriteTask, "j.sft");
  EXPECT_EQ(o.Progress, TSplitOptions::pcOn);
  EXPECT_EQ(o.Arguments, (std::vector<std::string>{"src", "dst"}));
  EXPECT_EQ(Parse({"--progress", "--no-progress"}).Progress, TSplitOptions::pcOff);
}

TEST(SplitOptions, SizesWithoutAUnitCountBytes) {
  const std::pair<std::string, std::string> cases[] = {{"1000", "1000B"}, {"100M", "100M"}, {"5 KB", "5 KB"},
                                                       {"-1", "-1B"},     {"", ""},         {"x", "x"}};
  for (const auto& [given, key] : cases) {
    const TSplitOptions o = Parse({"-C", given, "a"});
    EXPECT_EQ(o.Keys, (TKeys{{"SplitByType", "File Size"}, {"MaxFileSize", key}})) << given;
    EXPECT_EQ(o.RuleValue, given);
  }
}

TEST(SplitOptions, DashIsAnArgumentAndDoubleDashEndsTheOptions) {
  EXPECT_EQ(Parse({"-l", "2", "-", "out"}).Arguments, (std::vector<std::string>{"-", "out"}));
  const TSplitOptions o = Parse({"-l", "2", "--", "-q", "--lines=3"});
  EXPECT_EQ(o.Arguments, (std::vector<std::string>{"-q", "--lines=3"}));
  EXPECT_FALSE(o.Quiet);
}

TEST(SplitOptions, HelpAndVersionStopReadingThere) {
  EXPECT_TRUE(Parse({"--help", "--nonsense"}).Help);
  EXPECT_TRUE(Parse({"-V", "-l"}).Version);
  EXPECT_EQ(UsageError({"--nonsense", "--help"}), "Unknown option \"--nonsense\".");
}

TEST(SplitOptions, MalformedCommandLinesAreUsageErrors) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--lime=3"}, "Unknown option \"--lime\"."},
      {{"-x"}, "Unknown option \"-x\"."},
      {{"-qx"}, "Unknown option \"-x\"."},
      {{"a", "-l"}, "The option \"--lines\" needs a value."},
      {{"--separator"}, "The option \"--separator\" needs a value."},
      {{"--quiet=yes"}, "The option \"--quiet\" takes no value."},
      {{"-l", "2", "--end-with=;"}, "Only one split rule may be given: \"--lines\" and \"--end-with\"."},
      {{"-l", "2", "-l", "3"}, "Only one split rule may be given: \"--lines\" and \"--lines\"."},
  };
  for (const auto& [arguments, message] : cases) EXPECT_EQ(UsageError(arguments), message) << arguments[0];
}

// The help lists every option the parser knows, by both its names.
TEST(SplitOptions, HelpNamesEveryOption) {
  const std::string help = TSplitOptions::OptionsHelp();
  for (const char* name :
       {"-l, --lines=N", "-C, --line-bytes=SIZE", "--separator=TEXT", "--start-with=TEXT", "--end-with=TEXT",
        "-i, --ignore-case", "--header", "--csv", "-e, --encoding=NAME", "--mask=GLOB", "-r, --recursive", "--log=FILE",
        "-q, --quiet", "--progress", "--no-progress", "--write-task=FILE", "-h, --help", "-V, --version"})
    EXPECT_NE(help.find(name), std::string::npos) << name;
  for (size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
}
