#include "app/USplitOptions.h"

#include <algorithm>
#include <iterator>

namespace {

using TApply = void (*)(TSplitOptions&, const std::string&);

struct TOptionRow {
  char Short;              // 0 when the option has no short form
  std::string_view Long;   // without "--"
  std::string_view Value;  // the value's name in the help ("N"); empty for an option that takes none
  std::string_view Help;
  TApply Apply;
};

// Sets a task-file key, as the option named Option asks.
void SetKey(TSplitOptions& options, std::string_view option, std::string_view key, std::string value) {
  options.SettingOptions.emplace_back(option);
  options.Keys.emplace_back(std::string(key), std::move(value));
}

void SetRule(TSplitOptions& options, std::string_view option, std::string_view rule, std::string_view key,
             const std::string& value) {
  if (!options.Rule.empty())
    throw EUsageError("Only one split rule may be given: \"" + options.Rule + "\" and \"--" + std::string(option) +
                      "\".");
  options.Rule = "--" + std::string(option);
  options.RuleValue = value;
  options.Keys.emplace_back("SplitByType", std::string(rule));
  options.Keys.emplace_back(std::string(key), value);
}

void SetSymbolRule(TSplitOptions& options, std::string_view option, std::string_view type, const std::string& value) {
  SetRule(options, option, "Symbol", "SymbolValue", value);
  options.Keys.emplace_back("SymbolType", std::string(type));
}

// A size without a unit counts bytes here, as split -C counts them; in a
// task file it counts MiB.
std::string SizeInBytes(const std::string& size) {
  const bool plain = !size.empty() && size.find_first_not_of("+-0123456789") == std::string::npos;
  return plain ? size + "B" : size;
}

// Settings first, in the order of a task file; then the source folder's, the
// run's, and the program's own. New settings' options belong with the first.
constexpr TOptionRow kOptions[] = {
    {'l', "lines", "N", "N lines (records) per piece",
     [](TSplitOptions& o, const std::string& v) { SetRule(o, "lines", "Lines", "MaxLines", v); }},
    {'C', "line-bytes", "SIZE",
     "pieces of at most SIZE bytes, lines kept whole; SIZE may end in K, M, G (powers of 1024) or KB, MB, GB "
     "(powers of 1000)",
     [](TSplitOptions& o, const std::string& v) {
       SetRule(o, "line-bytes", "File Size", "MaxFileSize", SizeInBytes(v));
       o.RuleValue = v;
     }},
    {0, "separator", "TEXT", "a new piece after each line that is TEXT; that line is left out",
     [](TSplitOptions& o, const std::string& v) { SetSymbolRule(o, "separator", "Separator", v); }},
    {0, "start-with", "TEXT", "a new piece at each line that begins with TEXT",
     [](TSplitOptions& o, const std::string& v) { SetSymbolRule(o, "start-with", "Start With", v); }},
    {0, "end-with", "TEXT", "a new piece after each line that ends with TEXT",
     [](TSplitOptions& o, const std::string& v) { SetSymbolRule(o, "end-with", "End With", v); }},
    {'i', "ignore-case", "", "compare TEXT without regard to letter case",
     [](TSplitOptions& o, const std::string&) { SetKey(o, "--ignore-case", "IgnoreCase", "1"); }},
    {0, "header", "", "repeat the source's first line at the top of every piece (with --lines)",
     [](TSplitOptions& o, const std::string&) { SetKey(o, "--header", "KeepHeader", "1"); }},
    {0, "csv", "", "records are CSV records: a line break inside a quoted field stays in its record",
     [](TSplitOptions& o, const std::string&) { SetKey(o, "--csv", "QuotedFields", "1"); }},
    {'e', "encoding", "NAME",
     "the source's encoding, any name a task file takes (default: from its byte-order mark, else UTF-8)",
     [](TSplitOptions& o, const std::string& v) { SetKey(o, "--encoding", "SourceEncoding", v); }},
    {0, "to-encoding", "NAME",
     "write the pieces in encoding NAME, with the byte-order mark the table gives it; a character NAME cannot "
     "hold becomes \"?\" and fails the run (default: the source's encoding)",
     [](TSplitOptions& o, const std::string& v) { SetKey(o, "--to-encoding", "OutputEncoding", v); }},
    {0, "name", "TEMPLATE",
     "the pieces' names: {n} the number, {n:W} it zero-padded to W digits, {name} the source's name without "
     "its extension, {ext} its extension (default {n}{ext})",
     [](TSplitOptions& o, const std::string& v) { SetKey(o, "--name", "PieceName", v); }},
    {0, "line-end", "END", "the line end written after each line: crlf (default), lf, or keep the source's own",
     [](TSplitOptions& o, const std::string& v) { SetKey(o, "--line-end", "LineEnd", v); }},
    {0, "manifest", "", "when the split succeeds, write _manifest.tsv last: each piece, its records, bytes and SHA-256",
     [](TSplitOptions& o, const std::string&) { SetKey(o, "--manifest", "Manifest", "1"); }},
    {0, "compress", "FORMAT", "compress each piece as it is written, gzip or zstd, its name then ending in .gz or .zst",
     [](TSplitOptions& o, const std::string& v) { SetKey(o, "--compress", "Compress", v); }},
    {0, "compress-level", "N", "the compression level: 1 to 9 for gzip (default 6), 1 to 19 for zstd (default 3)",
     [](TSplitOptions& o, const std::string& v) { SetKey(o, "--compress-level", "CompressLevel", v); }},
    {0, "mask", "GLOB", "for a source folder: the names of the files to split (default *.*)",
     [](TSplitOptions& o, const std::string& v) {
       o.Mask = v;
       o.MaskGiven = true;
     }},
    {'r', "recursive", "", "for a source folder: its subfolders too",
     [](TSplitOptions& o, const std::string&) { o.Recursive = true; }},
    {0, "log", "FILE", "append the run's report to FILE, as logfile= does",
     [](TSplitOptions& o, const std::string& v) { o.LogFile = v; }},
    {'q', "quiet", "", "no progress line (unless --progress is given too)",
     [](TSplitOptions& o, const std::string&) { o.Quiet = true; }},
    {0, "progress", "", "a progress line on standard error, even when it is no terminal",
     [](TSplitOptions& o, const std::string&) { o.Progress = TSplitOptions::pcOn; }},
    {0, "no-progress", "", "no progress line",
     [](TSplitOptions& o, const std::string&) { o.Progress = TSplitOptions::pcOff; }},
    {0, "write-task", "FILE",
     "write the task file that does this split (FILE.sft for a file or -, FILE.bst for a folder) and split "
     "nothing",
     [](TSplitOptions& o, const std::string& v) { o.WriteTask = v; }},
    {'h', "help", "", "show this help and exit", [](TSplitOptions& o, const std::string&) { o.Help = true; }},
    {'V', "version", "", "show the version and exit", [](TSplitOptions& o, const std::string&) { o.Version = true; }},
};

const TOptionRow* FindLong(std::string_view name) {
  const auto* row = std::find_if(std::begin(kOptions), std::end(kOptions),
                                 [&](const TOptionRow& option) { return option.Long == name; });
  return row == std::end(kOptions) ? nullptr : row;
}

const TOptionRow* FindShort(char name) {
  const auto* row = std::find_if(std::begin(kOptions), std::end(kOptions),
                                 [&](const TOptionRow& option) { return option.Short == name; });
  return row == std::end(kOptions) ? nullptr : row;
}

// "-l, --lines=N", or "--header" for an option without a short name.
std::string OptionForm(const TOptionRow& row) {
  std::string form = row.Short != 0 ? std::string("-") + row.Short + ", " : std::string();
  form += "--" + std::string(row.Long);
  if (!row.Value.empty()) form += "=" + std::string(row.Value);
  return form;
}

std::string NeedsValue(const TOptionRow& row) {
  return "The option \"--" + std::string(row.Long) + "\" needs a value.";
}

}  // namespace

TSplitOptions TSplitOptions::Parse(const std::vector<std::string>& arguments) {
  TSplitOptions options;
  bool options_end = false;
  for (size_t i = 0; i < arguments.size() && !options.Help && !options.Version; ++i) {
    const std::string& argument = arguments[i];
    if (options_end || argument.size() < 2 || argument[0] != '-') {
      options.Arguments.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options_end = true;
      continue;
    }
    if (argument[1] == '-') {
      const size_t equals = argument.find('=');
      const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const TOptionRow* row = FindLong(name);
      if (row == nullptr) throw EUsageError("Unknown option \"--" + name + "\".");
      std::string value;
      if (row->Value.empty()) {
        if (equals != std::string::npos) throw EUsageError("The option \"--" + name + "\" takes no value.");
      } else if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        throw EUsageError(NeedsValue(*row));
      }
      row->Apply(options, value);
      continue;
    }
    // Short options, one after another; the first that takes a value takes
    // the rest of the argument, or the next one.
    for (size_t at = 1; at < argument.size(); ++at) {
      const TOptionRow* row = FindShort(argument[at]);
      if (row == nullptr) throw EUsageError("Unknown option \"-" + std::string(1, argument[at]) + "\".");
      if (row->Value.empty()) {
        row->Apply(options, {});
        continue;
      }
      std::string value;
      if (at + 1 < argument.size())
        value = argument.substr(at + 1);
      else if (i + 1 < arguments.size())
        value = arguments[++i];
      else
        throw EUsageError(NeedsValue(*row));
      row->Apply(options, value);
      break;
    }
  }
  return options;
}

std::string TSplitOptions::OptionsHelp() {
  // Two columns, as GNU tools give them: the names, then what they do,
  // wrapped within 79 columns.
  constexpr size_t kColumn = 26;
  constexpr size_t kWidth = 79;
  std::string text;
  for (const TOptionRow& row : kOptions) {
    std::string line = std::string(row.Short != 0 ? 2 : 6, ' ') + OptionForm(row);
    line += std::string(line.size() + 2 <= kColumn ? kColumn - line.size() : 2, ' ');
    std::string_view words = row.Help;
    while (!words.empty()) {
      const size_t room = kWidth - line.size();
      size_t cut = words.size();
      if (cut > room) {
        cut = words.rfind(' ', room);
        if (cut == std::string_view::npos) cut = room;
      }
      line += words.substr(0, cut);
      words.remove_prefix(std::min(words.size(), cut + 1));
      if (!words.empty()) {
        text += line + "\n";
        line = std::string(kColumn, ' ');
      }
    }
    text += line + "\n";
  }
  return text;
}

std::vector<std::string> TSplitOptions::OptionForms() {
  std::vector<std::string> forms;
  for (const TOptionRow& row : kOptions) forms.push_back(OptionForm(row));
  return forms;
}

bool TSplitOptions::Sets(std::string_view key) const {
  return std::any_of(Keys.begin(), Keys.end(), [&](const auto& entry) { return entry.first == key; });
}
