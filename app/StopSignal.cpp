#include "app/StopSignal.h"

#include <csignal>
#include <cstring>
#include <signal.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t received = 0;
volatile std::sig_atomic_t count = 0;
volatile std::sig_atomic_t watching = 0;

const char* nameOf(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
}

// Only async-signal-safe calls from here on: write and _exit.
void say(const char* text) {
    const std::size_t length = std::strlen(text);
    if (::write(STDOUT_FILENO, text, length) < 0) {}
}

void onStop(int signal) {
    if (!received) received = signal;
    count = count + 1;
    if (watching && count < 3) return;
    if (watching) {
        say("ERROR: stopped at once by a third ");
        say(nameOf(signal));
        say(": the output being written may be left partial\n");
    } else {
        say("ERROR: interrupted by ");
        say(nameOf(signal));
        say(" before any output was begun: nothing written\n");
    }
    _exit(128 + signal);
}

}  // namespace

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    // Restarted calls: the GL driver and the libraries under it need not expect EINTR.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is reported like a full
    // disk, instead of the signal killing the process with a file half-written.
    std::signal(SIGXFSZ, SIG_IGN);
}

void watchStopSignals(bool watch) { watching = watch ? 1 : 0; }

int stopSignal() { return received; }

const char* stopSignalName() { return nameOf(received); }

int stopExitCode() { return 128 + received; }
