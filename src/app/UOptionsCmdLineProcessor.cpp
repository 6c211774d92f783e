#include "app/UOptionsCmdLineProcessor.h"

#include <unistd.h>

#include <filesystem>

#include "app/UTerminalSessionObjectFactory.h"
#include "app/UUIAgent.h"
#include "execution/UBatchFileSplitSessionExecutor.h"
#include "execution/UFileSplitSessionExecutor.h"
#include "execution/UFolderScanner.h"
#include "execution/UOutputer.h"
#include "log/ULog.h"
#include "log/ULogAppender.h"
#include "log/ULogger.h"
#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"
#include "text/UBlockTextReader.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "util/UFileStream.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"
#include "util/UProcessArgs.h"
#include "util/UTimeUtils.h"

#ifndef QUILLMERE_VERSION
#error "QUILLMERE_VERSION must give the program's version"
#endif

namespace {

constexpr char kProgram[] = "quillmere";
// A folder's files when no mask is given: every name with an extension.
constexpr char kDefaultMask[] = "*.*";

// Errors logged on "cmdline" reach the UI agent too, with the log file's
// text. The Result line is left to the exit status.
class TErrorEcho final : public TLogAppender {
 public:
  TErrorEcho() { SetLevelError(); }
  void Append(const std::string& line) override {
    std::string_view message = line;
    const size_t tab = message.find('\t');
    if (tab != std::string_view::npos) message.remove_prefix(tab + 1);
    if (message.starts_with("Result: ") || UIAgent == nullptr) return;
    UIAgent->ShowError(std::string(message));
  }
};

void WriteOut(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
    if (written <= 0) return;
    text.remove_prefix(static_cast<size_t>(written));
  }
}

bool IsSymbolRule(const std::string& rule) {
  return rule == "--separator" || rule == "--start-with" || rule == "--end-with";
}

// Path as the program's working directory sees it, for a task file that
// must do the same split wherever it is run from.
std::string Absolute(const std::string& path) {
  if (path == kStandardInputName || path.empty()) return path;
  return std::filesystem::absolute(path).lexically_normal().string();
}

// "<name>_split": a file's name without its extension, or a folder's name.
std::string DefaultDestination(const std::string& source, bool folder) {
  if (!folder) return FileNameWithoutExtension(source) + kPieceFolderSuffix;
  return std::filesystem::path(RealPath(source)).filename().string() + kPieceFolderSuffix;
}

}  // namespace

TOptionsCmdLineProcessor::TOptionsCmdLineProcessor(TTerminalSessionObjectFactory& factory)
    : Factory_(factory), ErrorEcho_(std::make_unique<TErrorEcho>()) {
  SetFactory(&factory);
}

TOptionsCmdLineProcessor::~TOptionsCmdLineProcessor() { TLog::CommandLine().RemoveAppender(ErrorEcho_.get()); }

std::string TOptionsCmdLineProcessor::HelpText() {
  return std::string("Usage: ") + kProgram + " [OPTION]... SOURCE [DEST]\n" + "  or:  " + kProgram +
         " [OPTION]... TASK.sft|TASK.bst\n" + "  or:  " + kProgram + " task=TASK logfile=LOG\n" +
         "Split SOURCE into numbered pieces 1, 2, 3, ... with its extension, in the\n"
         "folder DEST. SOURCE is a file, a folder (each matching file into\n"
         "DEST/<name>_split) or - for standard input; a gzip or zstd source is read\n"
         "decompressed. Without DEST, the pieces go to <SOURCE name>_split in the\n"
         "working directory; - needs DEST. Every line ends in CR LF unless --line-end\n"
         "says otherwise.\n"
         "\n"
         "Exactly one rule: --lines, --line-bytes, --separator, --start-with or\n"
         "--end-with.\n"
         "\n" +
         TSplitOptions::OptionsHelp() +
         "\n"
         "Exit status: 0 when every record reached its piece, 1 when anything failed,\n"
         "2 for a usage error, 128+N when signal N stopped the split.\n"
         "\n"
         "Examples:\n"
         "  quillmere -l 100000 --header orders.csv        pieces of 100000 lines\n"
         "  quillmere -C 100M app.log /var/tmp/app_parts   pieces of at most 100 MiB\n"
         "  quillmere -l 1000000 export.csv.gz parts       1.csv, 2.csv, ... from .gz\n"
         "  zcat a.gz | quillmere --start-with='#' - parts  from standard input\n"
         "  quillmere --log=nightly.log nightly.sft         run a task file\n"
         "\n"
         "See quillmere(1) for everything else.\n";
}

bool TOptionsCmdLineProcessor::ParseCommandLine() {
  Params = ProcessArguments();
  try {
    Options_ = TSplitOptions::Parse(Params);
    if (Options_.Help || Options_.Version) {
      WriteOut(Options_.Help ? HelpText() : std::string(kProgram) + " (Quillmere) " + QUILLMERE_VERSION + "\n");
      ExitStatus = esSucceeded;
      return false;
    }
    PrepareRun();
  } catch (const EUsageError& e) {
    if (UIAgent != nullptr) UIAgent->ShowError(e.what());
    ExitStatus = esUsage;
    return false;
  }
  const bool wanted = Options_.Progress == TSplitOptions::pcOn ||
                      (Options_.Progress == TSplitOptions::pcAuto && !Options_.Quiet && isatty(STDERR_FILENO) == 1);
  ShowProgress_ = wanted && Options_.WriteTask.empty();
  Factory_.ShowProgress = ShowProgress_;
  // Ahead of the log file: an error that the log file cannot take still shows.
  TLog::CommandLine().AddAppender(ErrorEcho_.get());
  AttachLogFile(Options_.LogFile);
  return true;
}

void TOptionsCmdLineProcessor::PrepareRun() {
  const std::vector<std::string>& arguments = Options_.Arguments;
  if (arguments.empty()) throw EUsageError("No source given; see quillmere --help.");
  if (arguments.size() > 2) throw EUsageError("Too many arguments: \"" + arguments[2] + "\".");
  const std::string& source = arguments[0];
  if (arguments.size() == 1 && Factory_.IsTaskFile(source)) {
    // The task file holds the whole split.
    std::string given = !Options_.Rule.empty()             ? Options_.Rule
                        : !Options_.SettingOptions.empty() ? Options_.SettingOptions.front()
                        : Options_.MaskGiven               ? "--mask"
                        : Options_.Recursive               ? "--recursive"
                        : !Options_.WriteTask.empty()      ? "--write-task"
                                                           : "";
    if (!given.empty())
      throw EUsageError("A task file holds its own settings: \"" + given + "\" cannot be given with \"" + source +
                        "\".");
    TaskFileName = source;
    return;
  }
  if (Options_.Rule.empty())
    throw EUsageError("No split rule given: use --lines, --line-bytes, --separator, --start-with or --end-with.");
  if (Options_.Sets("KeepHeader") && Options_.Rule != "--lines")
    throw EUsageError("The option \"--header\" works only with \"--lines\".");
  if (Options_.Sets("IgnoreCase") && !IsSymbolRule(Options_.Rule))
    throw EUsageError(
        "The option \"--ignore-case\" works only with \"--separator\", \"--start-with\" or \"--end-with\".");
  if (Options_.Sets("CompressLevel") && !Options_.Sets("Compress"))
    throw EUsageError("The option \"--compress-level\" works only with \"--compress\".");
  const bool from_input = source == kStandardInputName;
  const bool folder = !from_input && DirectoryExists(source);
  if (!folder && (Options_.MaskGiven || Options_.Recursive))
    throw EUsageError("The options \"--mask\" and \"--recursive\" work only with a source folder.");
  if (from_input && arguments.size() < 2)
    throw EUsageError("Standard input (\"-\") needs a destination folder: quillmere ... - DEST.");
  BuildSession(source, arguments.size() > 1 ? arguments[1] : DefaultDestination(source, folder), folder);
  if (!Options_.WriteTask.empty()) {
    const std::string wanted = folder ? ".bst" : ".sft";
    if (FileExtension(Options_.WriteTask) != wanted)
      throw EUsageError("The task file of this split is a " + wanted + " file: \"" + Options_.WriteTask +
                        "\" does not end in \"" + wanted + "\".");
  }
}

void TOptionsCmdLineProcessor::BuildSession(const std::string& source, const std::string& dest, bool folder) {
  // The settings are read as a task file's keys are, so that each option
  // takes exactly what its key takes and a wrong value gets the same words.
  TIniFile ini("");
  for (const auto& [key, value] : Options_.Keys) ini.WriteString(TSplitSettings::kSection, key, value);
  const bool absolute = !Options_.WriteTask.empty();
  TSplitSettings* settings = nullptr;
  if (folder) {
    auto batch = std::make_unique<TBatchFileSplitSession>();
    batch->Settings.ReadFromIni(ini, {.MaxLinesIn32Bits = true});
    batch->SourceFolder = absolute ? Absolute(source) : source;
    batch->SourceMask = Options_.MaskGiven ? Options_.Mask : kDefaultMask;
    batch->SourceIncludeSub = Options_.Recursive;
    batch->DestFolder = absolute ? Absolute(dest) : dest;
    settings = &batch->Settings;
    Session_ = std::move(batch);
  } else {
    auto file = std::make_unique<TFileSplitSession>();
    file->Settings.ReadFromIni(ini, {.MaxLinesIn32Bits = false});
    file->SourceFile = absolute ? Absolute(source) : source;
    file->DestFolder = absolute ? Absolute(dest) : dest;
    file->DetectSourceEncoding();
    settings = &file->Settings;
    Session_ = std::move(file);
  }
  // No line holds a line break, and no task file line can.
  if (IsSymbolRule(Options_.Rule) && Options_.RuleValue.find_first_of("\r\n") != std::string::npos)
    throw EUsageError("Invalid value \"" + Options_.RuleValue + "\" for SymbolValue: a text without line breaks.");
  for (TInvalidValue& value : settings->Invalid) {
    if (value.Key != "MaxFileSize") continue;
    // The option counts bytes where the key counts MiB.
    value.Value = Options_.RuleValue;
    value.Accepts =
        "a whole number of bytes, or one followed by K, KiB, M, MiB, G, GiB (powers of 1024) or KB, "
        "MB, GB (powers of 1000)";
  }
  const std::vector<std::string> invalid = Session_->InvalidValues();
  if (!invalid.empty()) throw EUsageError(invalid.front());
  const std::string& encoding = settings->SourceEncoding;
  if (!encoding.empty() && !IsAutoDetect(encoding) && !IsKnownEncodingName(encoding))
    throw EUsageError("Invalid value \"" + encoding +
                      "\" for SourceEncoding: an encoding of the table in QuillmereCmd(1), one of its other names, "
                      "or Auto Detect.");
}

bool TOptionsCmdLineProcessor::ProcessCommands() {
  ExitStatus = esFailed;
  if (!LogFileName.empty()) {
    try {
      TFileStream::OpenAppend(LogFileName).Close();
    } catch (const EQuillmereError& e) {
      if (UIAgent != nullptr) UIAgent->ShowError(e.what());
      return false;
    }
  }
  if (!Options_.WriteTask.empty()) {
    WriteTask();
    return ExitStatus == esSucceeded;
  }
  const double start = NowMs();
  const TTaskResult result = Session_ ? RunOptionsSession() : RunTaskFile();
  if (ShowProgress_ && UIAgent != nullptr)
    UIAgent->ShowProgress(std::to_string(result.Records) + " records in " + std::to_string(result.Pieces) +
                              " pieces, " + FormatDuration(NowMs() - start),
                          true);
  ExitStatus = result.Succeeded() ? esSucceeded : esFailed;
  return result.Succeeded();
}

void TOptionsCmdLineProcessor::WriteTask() {
  try {
    Session_->SaveToFile(Options_.WriteTask);
    ExitStatus = esSucceeded;
  } catch (const EQuillmereError& e) {
    if (UIAgent != nullptr) UIAgent->ShowError(e.what());
  }
}

TTaskResult TOptionsCmdLineProcessor::RunOptionsSession() {
  std::unique_ptr<TSessionExecutor> executor;
  if (dynamic_cast<TBatchFileSplitSession*>(Session_.get()) != nullptr)
    executor = std::make_unique<TBatchFileSplitSessionExecutor>();
  else
    executor = std::make_unique<TFileSplitSessionExecutor>();
  TTaskResult result = executor->Result();
  try {
    std::unique_ptr<TOutputer> outputer = Factory_.CreateOutputer({}, LogFileName);
    RunSession(*Session_, *outputer, *executor, result);
    executor.reset();
  } catch (const EQuillmereError& e) {
    Logger->Error(e.what());
  }
  ReportResult(result);
  return result;
}
