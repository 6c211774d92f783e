// What one run of a task file came to, as its executor counts it: the
// command line reports it as the last line of the log file, and a front end
// may turn it into an exit status.
#pragma once

#include <cstdint>
#include <string>

struct TTaskResult {
  // True when every record reached its piece whole (no character replaced)
  // and no file or step failed.
  bool Succeeded() const { return Completed && RecordsFailed == 0 && FilesFailed == 0 && CharactersReplaced == 0; }
  // "Result: succeeded, " or "Result: failed, ", then "<f> files, " for a
  // batch, "<p> pieces, <r> records" and, for a failure, ", <e> records
  // failed" and ", <k> files failed" where not zero; then ".".
  std::string Text() const;

  // The counts are of files: a batch.
  bool Batch = false;
  // The task ran to its end without a failure outside single records and
  // files; false for a task that was not run at all.
  bool Completed = false;
  int64_t Files = 0;  // the files of a batch that were split or tried
  int64_t FilesFailed = 0;
  int64_t Pieces = 0;
  int64_t Records = 0;  // the records that reached their pieces
  int64_t RecordsFailed = 0;
  // Characters the output encoding lacked, or source bytes that did not
  // decode: written as "?" or U+FFFD. The text does not count them.
  int64_t CharactersReplaced = 0;
};
