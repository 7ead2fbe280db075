// Debian's ffmpeg program as the encoder, fed raw frames through a pipe to its standard input.
// The program rather than its libraries: nothing to link or keep in step with the distribution's
// library versions, the distribution's own encoders, and a failing encoder is a child process that
// exits with a message rather than a crash inside the renderer. Its messages go to a log file, of
// which the last line is reported when it fails; it fails also when it exits 0 but printed an error.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class FfmpegPipe {
public:
    FfmpegPipe() = default;
    ~FfmpegPipe();  // a pipe still open is aborted
    FfmpegPipe(const FfmpegPipe&) = delete;
    FfmpegPipe& operator=(const FfmpegPipe&) = delete;

    // Starts `program` (looked up on PATH) with `arguments`. False, with the reason, when it cannot
    // be started.
    bool start(const std::string& program, const std::vector<std::string>& arguments, std::string& why);
    // Writes all of `bytes`; false, with the reason, when the encoder has gone.
    bool write(const void* data, std::size_t bytes, std::string& why);
    // Closes the pipe and waits for the encoder, asking `stop` every few milliseconds; true when it
    // exited with status 0 and printed nothing (it runs with -loglevel error). Aborts it on a stop.
    bool finish(std::string& why, const std::function<bool()>& stop);
    // Kills the encoder and waits for it; for interrupted or failed renders.
    void abort();

private:
    std::string lastLogLine() const;
    std::string failure(const std::string& what) const;

    pid_t child = -1;
    int input = -1;
    std::string logPath;
};
