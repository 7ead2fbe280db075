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

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const int spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
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

bool FfmpegPipe::finish(std::string& why) {
    if (input >= 0) close(input);
    input = -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    child = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        std::remove(logPath.c_str());
        return true;
    }
    why = failure(WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                                    : "was ended by signal " + std::to_string(WTERMSIG(status)));
    return false;
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

// "ffmpeg <what>: <its last message>"; the log is removed.
std::string FfmpegPipe::failure(const std::string& what) {
    std::string last, line;
    std::ifstream log(logPath);
    while (std::getline(log, line))
        if (!line.empty()) last = line;
    std::string message = "ffmpeg " + what;
    if (!last.empty()) message += ": " + last;
    return message;
}
