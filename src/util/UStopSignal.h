// Stopping cleanly on SIGINT, SIGTERM and SIGHUP. The handler only records
// the signal; the record loop and the batch test it before each
// record and each file, so that a run ends between records with whole
// pieces, reports the stop, and only then ends the process by the signal.
#pragma once

#include <csignal>

// The number of the first stop signal received; 0 while there was none.
// Written only by the handler.
extern volatile std::sig_atomic_t StopSignal;

// Installs the handler for the three signals (with SA_RESTART, so that
// reads and writes under way go on). A second signal while the first is
// being acted on ends the process at once, by its default action.
void InstallStopSignalHandlers();
// When a stop signal was received, raises it again with its default action,
// which ends the process with the signal's conventional status; returns
// otherwise.
void EndByStopSignal();
