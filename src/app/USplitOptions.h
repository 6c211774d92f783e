// The conventional command line of the quillmere program: what its options
// and arguments say. Only their form is checked here; the values are the
// task settings' to judge, as a task file's are.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/UErrors.h"

// A command line that cannot be run as it is: nothing is touched.
class EUsageError : public EQuillmereError {
 public:
  using EQuillmereError::EQuillmereError;
};

struct TSplitOptions {
  enum TProgressChoice { pcAuto, pcOn, pcOff };

  // Reads the arguments (the program path not among them) as getopt_long
  // does: "-l N", "-lN", "--lines=N", "--lines N", flags combined ("-qr"),
  // options anywhere among the arguments, "--" before arguments only, and
  // "-" as an argument (standard input). Stops at --help or --version.
  // Raises EUsageError for an unknown option, a missing value, a value
  // given to an option that takes none, or a second rule.
  static TSplitOptions Parse(const std::vector<std::string>& arguments);
  // The options as "-l, --lines=N" and what they do, one per line, for the
  // help text.
  static std::string OptionsHelp();
  // Each option as "-l, --lines=N" (or "--header"), in the help's order.
  static std::vector<std::string> OptionForms();

  // The arguments that are not options: SOURCE [DEST], or a task file.
  std::vector<std::string> Arguments;
  // The task-file keys the options set, in the order given; a key given
  // twice takes its last value.
  std::vector<std::pair<std::string, std::string>> Keys;
  // The options given that set task settings, by their long names
  // ("--header"), in the order given.
  std::vector<std::string> SettingOptions;
  // The rule's option by its long name ("--lines") and its value as given;
  // empty when no rule was given.
  std::string Rule;
  std::string RuleValue;
  // For a source folder.
  std::string Mask;
  bool MaskGiven = false;
  bool Recursive = false;
  // For the run.
  std::string LogFile;
  std::string WriteTask;
  TProgressChoice Progress = pcAuto;
  bool Quiet = false;
  bool Help = false;
  bool Version = false;

  // True when an option set Key ("KeepHeader").
  bool Sets(std::string_view key) const;
};
