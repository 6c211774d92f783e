// The in-memory form of one task file: the settings of one split job. Each
// task kind stores its settings in an INI file of its own format; the base
// holds what the kinds share and the order of loading and saving.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TTaskSession {
 public:
  TTaskSession(const TTaskSession&) = delete;
  TTaskSession& operator=(const TTaskSession&) = delete;
  virtual ~TTaskSession() = default;

  // FileName := FileName. When a file exists there, it is first copied to
  // FileName + ".bak", replacing an earlier backup; a copy that fails is
  // skipped silently. Then WriteToIni writes the kind's keys; its errors
  // propagate (FileName keeps the new value).
  virtual void SaveToFile(const std::string& file_name);
  // FileName := FileName; then ReadFromIni reads the kind's keys. A missing
  // file reads as all defaults without error.
  virtual void LoadFromFile(const std::string& file_name);

  // True when every setting equals that of Other. Raises EInvalidCast when
  // Other is a session of another kind.
  virtual bool IsSameAs(const TTaskSession& other) const = 0;
  // Writes the kind's keys into the INI file, keeping its other sections,
  // keys and lines, creating the file when missing. Sets no FileName and
  // makes no backup. Raises EInOutError when the file cannot be written.
  virtual void WriteToIni(const std::string& file_name) = 0;
  // Reads the kind's keys with their defaults (a missing file reads as an
  // empty one) and detects the source encoding when none is named.
  virtual void ReadFromIni(const std::string& file_name) = 0;
  // A new session of the same kind with zero settings, owned by the caller.
  virtual std::unique_ptr<TTaskSession> NewSession() const = 0;
  // Multi-line text that describes the task, lines separated by CR LF.
  virtual void GetDescription(std::string& text) const = 0;
  // One message per value read that the task needs and cannot take
  // ("Invalid value ..."); empty when it can run. Values of settings that do
  // not take effect for the task are not looked at.
  virtual std::vector<std::string> InvalidValues() const { return {}; }

  // File-chooser filter of the kind: description, "|", pattern.
  std::string FileFilter;
  // Default extension of the kind, without the dot.
  std::string DefaultExt;
  std::string Category;
  // Path of the task file last loaded or saved; empty for a new session.
  std::string FileName;
  // The keys of the file's section that no task kind knows, as the file
  // spells them, in file order; filled by ReadFromIni.
  std::vector<std::string> UnknownKeys;

 protected:
  TTaskSession(std::string file_filter, std::string default_ext, std::string category);
};
