#include "util/UTimeUtils.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <cmath>
#include <cstdio>
#include <ctime>

#include "util/UPathUtils.h"

double NowMs() {
  timespec ts;
  if (clock_gettime(CLOCK_MONOTONIC, &ts) == 0)
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1000000.0;
  timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) * 1000.0 + static_cast<double>(tv.tv_usec) / 1000.0;
}

static std::string LocalTimestamp(const char* format) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local;
  localtime_r(&ts.tv_sec, &local);
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), format, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
  return buffer;
}

std::string LogFileTimestamp() { return LocalTimestamp("%04d-%02d-%02d %02d.%02d.%02d.%03d"); }

std::string MemoryLogTimestamp() { return LocalTimestamp("%04d-%02d-%02d %02d:%02d:%02d:%03d"); }

std::string FormatDuration(double milliseconds) {
  const double seconds = milliseconds < 0 ? 0 : milliseconds / 1000.0;
  char buffer[64];
  if (seconds < 59.95) {
    std::snprintf(buffer, sizeof(buffer), seconds < 9.995 ? "%.2f s" : "%.1f s", seconds);
    return buffer;
  }
  const long long whole = std::llround(seconds);
  if (whole < 3600)
    std::snprintf(buffer, sizeof(buffer), "%lld:%02lld", whole / 60, whole % 60);
  else
    std::snprintf(buffer, sizeof(buffer), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  return buffer;
}

std::string FormatElapsedTime(double milliseconds, bool with_milliseconds) {
  double rest = milliseconds;
  long long hours = 0, minutes = 0;
  if (rest >= 3600000.0) {
    hours = static_cast<long long>(std::floor(rest / 3600000.0));
    rest -= static_cast<double>(hours) * 3600000.0;
  }
  if (rest >= 60000.0) {
    minutes = static_cast<long long>(std::floor(rest / 60000.0));
    rest -= static_cast<double>(minutes) * 60000.0;
  }
  char buffer[96];
  if (!with_milliseconds) {
    // nearbyint rounds halves to even under the default rounding mode.
    long long seconds = static_cast<long long>(std::nearbyint(rest / 1000.0));
    std::snprintf(buffer, sizeof(buffer), "%.2lld:%.2lld:%.2lld", hours, minutes, seconds);
  } else {
    long long seconds = static_cast<long long>(std::floor(rest / 1000.0));
    long long millis = static_cast<long long>(std::nearbyint(rest - static_cast<double>(seconds) * 1000.0));
    std::snprintf(buffer, sizeof(buffer), "%.2lld:%.2lld:%.2lld.%.3lld", hours, minutes, seconds, millis);
  }
  return buffer;
}

std::string GetFileDateText(const std::string& file_name) {
  struct stat st;
  time_t when = IsSystemPath(file_name) && stat(file_name.c_str(), &st) == 0 ? st.st_mtime : static_cast<time_t>(-1);
  tm local;
  if (localtime_r(&when, &local) == nullptr) {
    time_t now = time(nullptr);
    localtime_r(&now, &local);
  }
  char buffer[64];
  int year = local.tm_year % 100;
  if (year < 0) year += 100;
  if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0)
    std::snprintf(buffer, sizeof(buffer), "%d-%d-%02d", local.tm_mday, local.tm_mon + 1, year);
  else
    std::snprintf(buffer, sizeof(buffer), "%d-%d-%02d %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1, year,
                  local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}
