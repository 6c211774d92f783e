#include "util/UStopSignal.h"

#include <initializer_list>

volatile std::sig_atomic_t StopSignal = 0;

namespace {

void OnStopSignal(int signal_number) {
  if (StopSignal != 0) {
    // Asked twice: the user wants out now, whole records or not.
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  StopSignal = signal_number;
}

}  // namespace

void InstallStopSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

void EndByStopSignal() {
  const int signal_number = StopSignal;
  if (signal_number == 0) return;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  // The signal may be blocked in this thread only if a caller blocked it;
  // unblock it so that raising it takes effect now.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(signal_number);
}
