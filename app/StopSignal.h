// Ctrl+C (SIGINT) and SIGTERM for the offline tools, which spend minutes between starting an output
// and finishing it. While a tool watches for them, a signal only sets a flag, which the tool checks
// between frames (simulated ones too, tens of milliseconds each); it then removes what it had begun,
// prints one line and exits with 128 + the signal (130, 143). While it does not watch (loading, before
// any output exists), the signal ends the process at once with one line. A third signal while
// watching also ends it at once, for a run that no longer reaches its checks.
#pragma once

// Installs the handlers (not watching), and ignores SIGXFSZ, so that a file-size limit fails a write
// (reported) rather than ending the process.
void installStopSignals();
// From now on a signal only sets the flag (true), or ends the process at once (false).
void watchStopSignals(bool watching);
// SIGINT or SIGTERM once one came; 0 while none did.
int stopSignal();
// "SIGINT" or "SIGTERM" (or "a signal"), for the tool's line.
const char* stopSignalName();
// 128 + the signal, the shells' convention.
int stopExitCode();
