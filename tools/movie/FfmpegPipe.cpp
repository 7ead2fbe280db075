#include "tools/movie/FfmpegPipe.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr useconds_t kFinishPollMicroseconds = 20000;

}  // namespace

FfmpegPipe::~FfmpegPipe() { abort(); }

bool FfmpegPipe::start(const std::string& program, const std::vector<std::string>& arguments, std::string& why) {
    // A vanished encoder must show as a failed write, not end the renderer.
    std::signal(SIGPIPE, SIG_IGN);

    char logTemplate[] = "/tmp/verdance-ffmpeg-XXXXXX";
    const int log = mkstemp(logTemplate);
    if (log < 0) {
        why = std::string("cannot make a log file for ffmpeg: ") + std::strerror(errno);
        return false;
    }
    logPath = logTemplate;

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        why = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
        close(log);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
    // A group of its own: Ctrl+C on the terminal reaches only the renderer, which then ends the
    // encoder itself and removes its file, instead of ffmpeg finishing a cut-off video on its own.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const int spawned = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[0]);
    close(log);
    if (spawned != 0) {
        child = -1;
        close(pipeEnds[1]);
        why = spawned == ENOENT ? program + " not found on PATH (scripts/setup.sh installs it)"
                                : "cannot start " + program + ": " + std::strerror(spawned);
        std::remove(logPath.c_str());
        return false;
    }
    input = pipeEnds[1];
    return true;
}

bool FfmpegPipe::write(const void* data, std::size_t bytes, std::string& why) {
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = ::write(input, next, bytes);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            why = failure("stopped reading frames");
            return false;
        }
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

bool FfmpegPipe::finish(std::string& why, const std::function<bool()>& stop) {
    if (input >= 0) close(input);
    input = -1;
    // The encoder still has frames in flight: wait for it, but not past a request to stop.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) {
            why = std::string("cannot wait for ffmpeg: ") + std::strerror(errno);
            abort();
            return false;
        }
        if (stop && stop()) {
            why = "stopped before ffmpeg finished";
            abort();
            return false;
        }
        usleep(kFinishPollMicroseconds);
    }
    child = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        why = failure(WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                                        : "was ended by signal " + std::to_string(WTERMSIG(status)));
        return false;
    }
    // It runs with -loglevel error, so any line at all is an error, and some are fatal although it
    // exits 0: "Error writing trailer of ...: No space left on device" leaves a video without its index.
    if (!lastLogLine().empty()) {
        why = failure("reported an error");
        return false;
    }
    std::remove(logPath.c_str());
    logPath.clear();
    return true;
}

void FfmpegPipe::abort() {
    if (input >= 0) close(input);
    input = -1;
    if (child > 0) {
        kill(child, SIGKILL);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
        child = -1;
    }
    if (!logPath.empty()) std::remove(logPath.c_str());
    logPath.clear();
}

std::string FfmpegPipe::lastLogLine() const {
    std::string last, line;
    std::ifstream log(logPath);
    while (std::getline(log, line))
        if (!line.empty()) last = line;
    return last;
}

// "ffmpeg <what>: <its last message>".
std::string FfmpegPipe::failure(const std::string& what) const {
    const std::string last = lastLogLine();
    std::string message = "ffmpeg " + what;
    if (!last.empty()) message += ": " + last;
    return message;
}
