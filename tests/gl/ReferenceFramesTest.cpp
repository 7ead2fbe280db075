// Whole frames of the demo against committed pictures: the capture tool (the offline run, the movie's
// own frame loop on a fixed clock and fixed seeds) draws the intro, four moments of play and the
// credits on this process's OpenGL driver, and each must match tests/reference/<name>.png within the
// tolerances below. On a mismatch the frame made and a difference image amplified 16 times are left
// in the test output folder, with the figures in the log.
//
// A change meant to alter the picture regenerates the pictures on llvmpipe:
// scripts/update-reference-frames.sh, which runs this test with VERDANCE_UPDATE_REFERENCE_FRAMES=1.
#include "tests/support/GlTestContext.h"
#include "tests/support/RunProcess.h"
#include "tests/support/ToolFiles.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using gltest::captureCommand;
using gltest::captureFileName;
using gltest::Picture;
using gltest::readBytes;
using gltest::readPng;

// Small, and two frames a second: the simulated frames before each moment are what costs here, and
// a half-second step is one the demo holds (it runs at one or two frames a second on software GL).
constexpr int kSide = 256;
constexpr const char* kFps = "2";

struct ReferenceFrame {
    const char* name;
    const char* playTime;  // as capture takes it: -11 to 0 is the intro, after 165 the credits
};
constexpr ReferenceFrame kFrames[] = {
    {"intro", "-6"},   {"play_005", "5"},   {"play_040", "40"},
    {"play_086", "86"}, {"play_150", "150"}, {"credits", "170"},
};

// Tolerances, from the differences measured between Mesa llvmpipe and zink over lavapipe (Mesa
// 22.3, LLVM 15) on these six frames: the intro and the credits alike to the bit; the play frames
// differ by 1 level on 1 to 7 of their 65536 pixels, a mean of at most 0.00004 levels; two llvmpipe
// runs are identical. The bounds leave ten times that room, for another processor's vector width or
// another Mesa release: a pixel is off when a channel is more than 2 levels away, at most 0.1 % of
// the pixels (65) may be off, and the mean difference stays under a tenth of a level. What a change of
// the picture does is far beyond them: a brightness step (F3) moves every pixel, a moved shadow or
// burst of particles hundreds of pixels by tens of levels.
constexpr int kLevelsOff = 2;
constexpr double kMaxShareOff = 0.001;
constexpr double kMaxMeanLevels = 0.1;

struct Difference {
    int maxLevels = 0;    // the largest difference of any colour channel
    int pixelsOff = 0;    // pixels with a channel more than kLevelsOff apart
    double meanLevels = 0.0;  // over every colour channel of every pixel
};

Difference compare(const Picture& made, const Picture& reference) {
    Difference d;
    double sum = 0.0;
    for (std::size_t i = 0; i < made.rgba.size(); i += 4) {
        int worst = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const int levels = std::abs(int(made.rgba[i + c]) - int(reference.rgba[i + c]));
            worst = std::max(worst, levels);
            sum += levels;
        }
        d.maxLevels = std::max(d.maxLevels, worst);
        d.pixelsOff += worst > kLevelsOff;
    }
    d.meanLevels = sum / (made.rgba.size() / 4 * 3);
    return d;
}

// |made - reference| times 16 per channel, opaque, so that a difference of one level shows.
std::vector<std::uint8_t> amplifiedDifference(const Picture& made, const Picture& reference) {
    std::vector<std::uint8_t> out(made.rgba.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = i % 4 == 3 ? 255
                            : static_cast<std::uint8_t>(
                                  std::min(255, 16 * std::abs(int(made.rgba[i]) - int(reference.rgba[i]))));
    return out;
}

// Replaces `target` with a copy of `source`: written beside it under another name, read back and
// compared, then renamed, so a failed copy leaves the old picture and no partial file. Returns an
// empty string or why it failed.
std::string replaceChecked(const fs::path& source, const fs::path& target) {
    const fs::path part = target.string() + ".part";
    const std::vector<std::uint8_t> bytes = readBytes(source);
    if (bytes.empty()) return "cannot read '" + source.string() + "'";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(part);
            return "cannot write '" + part.string() + "'";
        }
    }
    if (readBytes(part) != bytes || readPng(part).rgba.empty()) {
        fs::remove(part);
        return "'" + part.string() + "' did not read back as written";
    }
    std::error_code error;
    fs::rename(part, target, error);
    if (error) {
        fs::remove(part);
        return "cannot rename '" + part.string() + "': " + error.message();
    }
    return {};
}

TEST(ReferenceFrames, MatchTheCommittedPictures) {
    const fs::path referenceDir = fs::path(VERDANCE_SOURCE_DIR) / "tests/reference";
    const fs::path madeDir = fs::path(gltest::outputDir()) / "reference_frames";
    std::error_code ignored;
    fs::remove_all(madeDir, ignored);  // so no frame of an earlier run can stand in for a missing one
    fs::create_directories(madeDir);

    std::string arguments = "--out '" + madeDir.string() + "' --fps " + kFps + " --size " + std::to_string(kSide) +
                            "x" + std::to_string(kSide);
    for (const ReferenceFrame& frame : kFrames) arguments += std::string(" ") + frame.playTime;
    const std::string command = std::string("cd '") + VERDANCE_SOURCE_DIR + "' && " + captureCommand(arguments);
    const ProcessResult run = runProcess(command);
    const std::string& log = run.output;
    ASSERT_EQ(run.exitCode, 0) << command << "\n" << log;

    const bool update = std::getenv("VERDANCE_UPDATE_REFERENCE_FRAMES") != nullptr;
    for (const ReferenceFrame& frame : kFrames) {
        SCOPED_TRACE(frame.name);
        const fs::path madePath = madeDir / captureFileName(std::strtod(frame.playTime, nullptr));
        const Picture made = readPng(madePath);
        ASSERT_EQ(made.width, kSide) << "no picture '" << madePath.string() << "'\n" << log;
        ASSERT_EQ(made.height, kSide);
        const fs::path referencePath = referenceDir / (std::string(frame.name) + ".png");
        if (update) {
            fs::create_directories(referenceDir);
            const std::string why = replaceChecked(madePath, referencePath);
            EXPECT_TRUE(why.empty()) << "ERROR: Failed to update '" << referencePath.string() << "': " << why;
            std::cout << "updated " << referencePath.string() << std::endl;
            continue;
        }

        const Picture reference = readPng(referencePath);
        ASSERT_FALSE(reference.rgba.empty()) << "cannot read the reference '" << referencePath.string() << "'";
        ASSERT_EQ(reference.width, made.width);
        ASSERT_EQ(reference.height, made.height);
        const Difference d = compare(made, reference);
        const double shareOff = double(d.pixelsOff) / (kSide * kSide);
        std::cout << frame.name << ": largest difference " << d.maxLevels << " levels, " << d.pixelsOff
                  << " pixels more than " << kLevelsOff << " levels off, mean " << d.meanLevels << " levels"
                  << std::endl;
        const bool matches = shareOff <= kMaxShareOff && d.meanLevels < kMaxMeanLevels;
        EXPECT_LE(shareOff, kMaxShareOff) << d.pixelsOff << " pixels more than " << kLevelsOff << " levels off";
        EXPECT_LT(d.meanLevels, kMaxMeanLevels);
        if (!matches) {
            const std::string difference = gltest::outputDir() + "/reference_" + frame.name + "_difference.png";
            stbi_flip_vertically_on_write(0);
            const bool saved = stbi_write_png(difference.c_str(), kSide, kSide, 4,
                                              amplifiedDifference(made, reference).data(), kSide * 4) != 0;
            ADD_FAILURE() << "frame made: " << madePath.string() << "\nreference: " << referencePath.string()
                          << "\ndifference x16: " << (saved ? difference : "ERROR: could not be written");
        }
    }
}

}  // namespace
