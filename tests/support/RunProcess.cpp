#include "tests/support/RunProcess.h"

#include <sys/wait.h>

#include <cstdio>

ProcessResult runProcess(const std::string& command) {
    ProcessResult result;
    FILE* pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
