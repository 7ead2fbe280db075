#include "tools/movie/VideoCheck.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Runs `argv` (looked up on PATH) with its standard output and error into `output`; its exit status,
// or -1 when it could not run or ended by a signal (the reason in `output`).
int runProgram(const std::vector<std::string>& arguments, std::string& output) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        output = std::string("cannot make a pipe: ") + std::strerror(errno);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (spawned != 0) {
        close(ends[0]);
        output = "cannot start " + arguments[0] + ": " + std::strerror(spawned);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    close(ends[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    output = arguments[0] + " was ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
}

}  // namespace

bool checkVideo(const std::string& path, long frames, bool audio, std::string& why) {
    std::string output;
    const int status = runProgram({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                                   "stream=codec_type,nb_read_packets", "-of", "csv=p=0", path},
                                  output);
    // One "codec_type,packets" line a stream; anything else is ffprobe's error.
    long videoStreams = 0, videoFrames = 0, audioStreams = 0;
    std::string problem;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        const std::size_t comma = line.find(',');
        const std::string type = line.substr(0, comma);
        if (comma != std::string::npos && type == "video") {
            ++videoStreams;
            videoFrames = std::strtol(line.c_str() + comma + 1, nullptr, 10);
        } else if (comma != std::string::npos && type == "audio") {
            ++audioStreams;
        } else if (problem.empty()) {
            problem = line;
        }
    }
    if (status != 0 || !problem.empty()) {
        why = "the finished video '" + path + "' does not read back: " +
              (problem.empty() ? (status < 0 ? output : "ffprobe exited with status " + std::to_string(status))
                               : problem);
        return false;
    }
    if (videoStreams != 1 || videoFrames != frames || (audio && audioStreams != 1) || (!audio && audioStreams)) {
        why = "the finished video '" + path + "' holds " + std::to_string(videoStreams) + " video stream(s) of " +
              std::to_string(videoFrames) + " frames and " + std::to_string(audioStreams) +
              " audio stream(s); expected 1 of " + std::to_string(frames) + " frames and " + (audio ? "1" : "0");
        return false;
    }
    return true;
}
