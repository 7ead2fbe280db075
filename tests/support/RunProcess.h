// Runs a shell command the way a user would, with no terminal on standard input (so a fatal-exit
// pause cannot wait), and keeps what it printed on standard output and error.
#pragma once

#include <string>

struct ProcessResult {
    int exitCode = -1;   // -1 when the command could not be started or did not exit normally
    std::string output;  // standard output and error
};

ProcessResult runProcess(const std::string& command);
