// The movie and capture tools run as a user runs them, on the baked level, small and short: a
// render around the change of light has its video and its music where they belong, two chunks give
// the frames of one render over both, capture gives the movie's frame, and each failure leaves one
// ERROR line, a non-zero exit and no file. Needs ffmpeg and ffprobe (scripts/setup.sh).
#include "tests/support/GlTestContext.h"
#include "tests/support/RunProcess.h"
#include "tests/support/ToolFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// 10 frames a second of 96 x 96 around the change of light (play time 85 s is video time 96 s):
// video frames 950 to 969, play time 84.0 to 85.9.
constexpr const char* kSmall = " --fps 10 --size 96x96";
constexpr int kSide = 96;

ProcessResult run(const std::string& command) { return runProcess(command); }

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Mean absolute difference per channel of two equally sized pictures.
double meanDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
    double sum = 0.0;
    for (std::size_t i = 0; i < bytes; ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / bytes;
}

// Mono 8 kHz samples, as signed 16-bit, from `input` (ffmpeg's own options before it).
std::vector<std::int16_t> decodeAudio(const std::string& inputOptions) {
    const ProcessResult decoded = run("ffmpeg -hide_banner -loglevel error " + inputOptions +
                                      " -t 1.5 -vn -ac 1 -ar 8000 -f s16le pipe:1 2>/dev/null");
    std::vector<std::int16_t> samples(decoded.output.size() / 2);
    std::memcpy(samples.data(), decoded.output.data(), samples.size() * 2);
    return samples;
}

// Normalised correlation of the first `count` samples of two signals at the same offset.
double correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    const std::size_t count = std::min(a.size(), b.size());
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

class MovieTest : public testing::Test {
protected:
    // Named after the process, so that runs at once do not share it; removed at the end.
    MovieTest() : scratch(fs::path(testing::TempDir()) / ("verdance-movie-" + std::to_string(getpid()))) {
        fs::remove_all(scratch);
        fs::create_directories(scratch);
    }
    ~MovieTest() override { fs::remove_all(scratch); }

    static std::string movie(const std::string& arguments) { return "'" VERDANCE_MOVIE_EXECUTABLE "' " + arguments; }

    gltest::ScopedWorkingDirectory cwd{VERDANCE_SOURCE_DIR};  // the tools read assets/
    const fs::path scratch;
};

TEST_F(MovieTest, AShortRenderHasItsVideoAndTheMusicFromItsFirstFrame) {
    const fs::path video = scratch / "short.mp4";
    const ProcessResult made = run(movie("--from 95 --to 97" + std::string(kSmall) + " --out " + quoted(video)));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_FALSE(fs::exists(scratch / "short.part.mp4"));

    const ProcessResult probe =
        run("ffprobe -v error -count_frames -show_streams -of json " + quoted(video) + " 2>/dev/null");
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    const auto streams = nlohmann::json::parse(probe.output).at("streams");
    ASSERT_EQ(streams.size(), 2u) << probe.output;
    nlohmann::json videoStream, audioStream;
    for (const auto& stream : streams) (stream.at("codec_type") == "video" ? videoStream : audioStream) = stream;
    ASSERT_FALSE(videoStream.is_null());
    ASSERT_FALSE(audioStream.is_null());
    EXPECT_EQ(videoStream.at("codec_name"), "h264");
    EXPECT_EQ(videoStream.at("pix_fmt"), "yuv420p");
    EXPECT_EQ(videoStream.at("width"), kSide);
    EXPECT_EQ(videoStream.at("height"), kSide);
    EXPECT_EQ(videoStream.at("nb_read_frames"), "20");
    EXPECT_EQ(audioStream.at("codec_type"), "audio");
    // The sound starts with the picture: within an AAC frame (1024 samples at 44.1 or 48 kHz).
    const double videoStart = std::stod(videoStream.at("start_time").get<std::string>());
    const double audioStart = std::stod(audioStream.at("start_time").get<std::string>());
    EXPECT_NEAR(audioStart, videoStart, 0.025);

    // ... and it is the music from 95 s on: the demo starts the music with the intro, at video time 0.
    const auto heard = decodeAudio("-i " + quoted(video));
    const auto music95 = decodeAudio("-ss 95 -i assets/media/music.mp3");
    const auto music84 = decodeAudio("-ss 84 -i assets/media/music.mp3");  // from the start of play
    ASSERT_GT(heard.size(), 8000u);
    const double right = correlation(heard, music95), wrong = correlation(heard, music84);
    std::cout << "audio against the music at 95 s: " << right << ", at 84 s: " << wrong << std::endl;
    EXPECT_GT(right, 0.9);
    EXPECT_LT(wrong, 0.5);

    // Frames 9 and 10 are play time 84.9 and 85.0, the change of light: it changes the picture far
    // more than the camera's motion does from one frame to the next.
    const ProcessResult raw = run("ffmpeg -hide_banner -loglevel error -i " + quoted(video) +
                                  " -f rawvideo -pix_fmt rgb24 pipe:1 2>/dev/null");
    const std::size_t frameBytes = kSide * kSide * 3;
    ASSERT_EQ(raw.output.size(), 20 * frameBytes);
    const auto* frames = reinterpret_cast<const std::uint8_t*>(raw.output.data());
    const double motion = meanDifference(frames + 8 * frameBytes, frames + 9 * frameBytes, frameBytes);
    const double change = meanDifference(frames + 9 * frameBytes, frames + 10 * frameBytes, frameBytes);
    std::cout << "mean difference per channel: " << motion << " from 84.8 to 84.9 s, " << change
              << " from 84.9 to 85.0 s" << std::endl;
    EXPECT_GT(change, 3.0 * motion);
}

// The second chunk only simulates the frames before 96 s: if the particles, the pulses or the light
// change did not reach its first frames as they reach a render drawn through, its frames would differ.
// Capture takes the same road, from further on (85.5 s of play, frame 965).
TEST_F(MovieTest, ChunksAndCaptureGiveTheFramesOfOneRender) {
    const fs::path whole = scratch / "whole", chunks = scratch / "chunks", captured = scratch / "capture";
    for (const std::string& range : {std::string("--from 95 --to 97 --frames ") + quoted(whole),
                                     std::string("--from 95 --to 96 --frames ") + quoted(chunks),
                                     std::string("--from 96 --to 97 --frames ") + quoted(chunks)}) {
        const ProcessResult made = run(movie(range + kSmall));
        ASSERT_EQ(made.exitCode, 0) << range << "\n" << made.output;
    }
    int compared = 0;
    for (int frame = 950; frame < 970; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", frame);
        SCOPED_TRACE(name);
        const auto expected = gltest::readBytes(whole / name);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(expected == gltest::readBytes(chunks / name));
        ++compared;
    }
    EXPECT_EQ(compared, 20);
    EXPECT_EQ(std::distance(fs::directory_iterator(chunks), fs::directory_iterator()), 20);

    const ProcessResult capture = run(gltest::captureCommand("--out " + quoted(captured) + kSmall + " 85.5"));
    ASSERT_EQ(capture.exitCode, 0) << capture.output;
    const auto fromCapture = gltest::readPng(captured / "frame_085.50.png").rgba;
    const auto fromMovie = gltest::readPng(whole / "frame_000965.png").rgba;
    ASSERT_EQ(fromCapture.size(), static_cast<std::size_t>(kSide * kSide * 4));
    EXPECT_TRUE(fromCapture == fromMovie);
}

struct FailureCase {
    const char* name;
    std::string command;
    const char* message;  // after "ERROR: "
    int exitCode;
};

// Regular files under `folder`, however deep (none when it does not exist).
std::vector<fs::path> filesUnder(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        if (it->is_regular_file()) found.push_back(it->path());
    return found;
}

void writeScript(const fs::path& path, const std::string& body) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
}

TEST_F(MovieTest, FailuresSayOneErrorAndLeaveNoFile) {
    // A regular file where a folder should be. Stand-ins for ffmpeg: one refusing at once, one that
    // takes every frame and exits 0 after an error line with a cut-off file (what Debian's ffmpeg 5.1
    // does on a full disk), one that exits 0 silently with a file no player reads.
    std::ofstream(scratch / "file") << "not a folder";
    const fs::path refusing = scratch / "refusing", erring = scratch / "erring", silent = scratch / "silent";
    writeScript(refusing / "ffmpeg", "echo 'Unknown encoder libx264' >&2\nexit 1\n");
    const std::string cutOff = "for last; do :; done\ncat >/dev/null\nhead -c 16384 /dev/zero >\"$last\"\n";
    writeScript(erring / "ffmpeg",
                cutOff + "echo \"[out#0] Error writing trailer of $last: No space left on device\" >&2\nexit 0\n");
    writeScript(silent / "ffmpeg", cutOff + "exit 0\n");
    const fs::path out = scratch / "out";
    const std::string video = " --out " + quoted(out / "movie.mp4");
    const std::string small = " --to 0.2" + std::string(kSmall);
    const std::string capture = gltest::captureCommand("--out " + quoted(out / "frames") + kSmall);
    // A file-size limit of 512 bytes (dash counts ulimit -f in 512-byte blocks) fails every write as
    // a full disk does, but only in the command it is set for: EFBIG instead of ENOSPC.
    const std::string limited = "ulimit -f 1; ";

    const FailureCase cases[] = {
        {"unknown option", movie("--colour blue" + video), "unknown option '--colour'", 2},
        {"missing value", movie(video + " --fps"), "option --fps needs a value", 2},
        {"odd size", movie("--size 95x96" + video), "--size '95x96'", 2},
        {"frame rate not a number", movie("--fps fast" + video), "--fps 'fast'", 2},
        {"empty range", movie("--from 50 --to 50" + video), "empty range", 2},
        {"range past the end", movie("--from 150 --to 185 --credits 8" + video), "past the end of the movie", 2},
        {"ffmpeg missing", "PATH=/nonexistent " + movie(small + video), "ffmpeg not found", 1},
        {"ffmpeg failing", "PATH=" + refusing.string() + ":$PATH " + movie(small + video), "Unknown encoder", 1},
        {"ffmpeg erring with exit 0", "PATH=" + erring.string() + ":$PATH " + movie(small + video),
         "ffmpeg reported an error: [out#0] Error writing trailer", 1},
        {"ffmpeg leaving a broken file", "PATH=" + silent.string() + ":$PATH " + movie(small + video),
         "does not read back", 1},
        {"video past a file-size limit", limited + movie(small + video), "ffmpeg ", 1},
        {"frames past a file-size limit", limited + movie(small + " --frames " + quoted(out / "frames")),
         "File too large; no frame written", 1},
        {"capture past a file-size limit", limited + capture + " 1", "File too large", 1},
        {"capture given times sharing a name", capture + " 5 5.001", "would both be saved as 'frame_005.00.png'", 2},
        {"capture given an endless time", capture + " 5 inf", "not a play time: 'inf'", 2},
        {"output folder is a file", movie(small + " --out " + quoted(scratch / "file/m.mp4")),
         "cannot write into folder", 1},
        {"frames folder is a file", movie(small + " --frames " + quoted(scratch / "file/frames")),
         "cannot write into folder", 1},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = run(c.command);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
        std::istringstream lines(result.output);
        std::string line, error;
        int errors = 0;
        while (std::getline(lines, line))
            if (line.rfind("ERROR: ", 0) == 0) {
                ++errors;
                error = line;
            }
        EXPECT_EQ(errors, 1) << result.output;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(filesUnder(out), std::vector<fs::path>{});
        fs::remove_all(out);
    }
}

// A chunk that starts late spends minutes simulating the frames before it; a stop must not wait for
// them. Frame 4500 (video 150 s) is about 4500 simulated frames away, which take minutes here: the
// stop is answered within the first hundreds, and nothing of the run stays behind.
TEST_F(MovieTest, AStopDuringTheSimulatedStretchIsAnsweredAtOnceAndLeavesNothing) {
    struct Stop {
        int signal;
        const char* name;
        int exitCode;
    };
    for (const Stop& stop : {Stop{SIGINT, "SIGINT", 130}, Stop{SIGTERM, "SIGTERM", 143}}) {
        SCOPED_TRACE(stop.name);
        const fs::path video = scratch / "late.mp4";
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(ends[1], STDOUT_FILENO);
            dup2(ends[1], STDERR_FILENO);
            close(ends[0]);
            close(ends[1]);
            execl(VERDANCE_MOVIE_EXECUTABLE, "movie", "--from", "150", "--to", "150.1", "--fps", "30", "--size",
                  "96x96", "--out", video.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        FILE* output = fdopen(ends[0], "r");
        std::string all;
        char line[4096];
        // Start-up and the encoder are done once the run announces the stretch.
        while (std::fgets(line, sizeof line, output)) {
            all += line;
            if (std::strstr(line, "simulating up to the first frame")) break;
        }
        usleep(500000);
        const auto sent = std::chrono::steady_clock::now();
        kill(child, stop.signal);
        while (std::fgets(line, sizeof line, output)) all += line;
        int status = 0;
        waitpid(child, &status, 0);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        std::fclose(output);
        std::cout << stop.name << " answered after " << seconds << " s" << std::endl;

        ASSERT_TRUE(WIFEXITED(status)) << all;
        EXPECT_EQ(WEXITSTATUS(status), stop.exitCode) << all;
        const std::size_t error = all.find("ERROR: interrupted by " + std::string(stop.name) + " while simulating (frame ");
        ASSERT_NE(error, std::string::npos) << all;
        EXPECT_EQ(all.find("ERROR: ", error + 1), std::string::npos) << all;
        const long reached = std::stol(all.substr(all.find("(frame ", error) + 7));
        EXPECT_LT(reached, 4500) << all;
        EXPECT_EQ(filesUnder(scratch), std::vector<fs::path>{});
    }
}

}  // namespace
