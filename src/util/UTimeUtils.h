// Clock readings and the fixed date and time texts of reports.
#pragma once

#include <string>

// Milliseconds from the monotonic clock (the time of day when it cannot be read).
double NowMs();

// The local time now as "yyyy-mm-dd hh.nn.ss.zzz" (log files).
std::string LogFileTimestamp();
// The local time now as "yyyy-mm-dd hh:mm:ss:zzz" (in-memory log).
std::string MemoryLogTimestamp();

// "hh:nn:ss" or "hh:nn:ss.zzz"; hours, minutes and seconds are not carried over.
std::string FormatElapsedTime(double milliseconds, bool with_milliseconds);
// A duration as people read it on a terminal: "0.42 s", "12.3 s", "2:05",
// "1:02:05".
std::string FormatDuration(double milliseconds);

// The file's modification time as "d-m-yy hh:nn:ss" in local time (the time
// part left out at exactly midnight); a file that cannot be examined gives
// the fixed text of the moment one second before the epoch.
std::string GetFileDateText(const std::string& file_name);
