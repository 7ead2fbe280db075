// Files the tools write are whole or absent: a PNG reads back as the pixels given, and every failing
// step (a full device, no folder, a folder in the way) is reported with the file's name and the
// system's reason, leaving neither the target nor a temporary.
#include "app/WholeFile.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class WholeFileTest : public testing::Test {
protected:
    WholeFileTest() : folder(fs::path(testing::TempDir()) / ("verdance-wholefile-" + std::to_string(getpid()))) {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~WholeFileTest() override { fs::remove_all(folder); }

    std::vector<fs::path> files() const {
        return {fs::directory_iterator(folder), fs::directory_iterator()};
    }

    const fs::path folder;
};

// 2 x 2 RGBA: red, green on the top row; blue, white below.
const std::vector<std::uint8_t> kTopFirst = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
const std::vector<std::uint8_t> kBottomFirst = {0, 0, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 255, 0, 255};

TEST_F(WholeFileTest, APngReadsBackAsThePixelsAndReplacesTheOldFileWithNothingElseLeft) {
    const fs::path target = folder / "frame.png";
    std::ofstream(target) << "an older, longer file that must be replaced whole";
    for (const bool bottomRowFirst : {false, true}) {
        SCOPED_TRACE(bottomRowFirst ? "bottom row first" : "top row first");
        std::string why;
        ASSERT_TRUE(writePngFile(target, 2, 2, (bottomRowFirst ? kBottomFirst : kTopFirst).data(), bottomRowFirst, why))
            << why;
        int w = 0, h = 0, channels = 0;
        stbi_set_flip_vertically_on_load(false);  // process-wide; the sky panorama's loader turns it on
        stbi_uc* decoded = stbi_load(target.c_str(), &w, &h, &channels, 4);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(std::vector<std::uint8_t>(decoded, decoded + 16), kTopFirst);
        stbi_image_free(decoded);
        EXPECT_EQ(files(), std::vector<fs::path>{target});
    }
}

struct Refusal {
    const char* name;
    fs::path target;
    const char* reason;
};

TEST_F(WholeFileTest, AFailedWriteNamesTheFileAndTheReasonAndLeavesNothing) {
    fs::create_directories(folder / "a folder");
    const Refusal cases[] = {
        {"a full device", "/dev/full", "No space left on device"},
        {"a missing folder", folder / "missing" / "frame.png", "No such file or directory"},
        {"a folder in the way", folder / "a folder", "it is a folder"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        EXPECT_FALSE(writePngFile(c.target, 2, 2, kTopFirst.data(), false, why));
        EXPECT_NE(why.find("'" + c.target.string() + "'"), std::string::npos) << why;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
    EXPECT_EQ(files(), std::vector<fs::path>{folder / "a folder"});
    EXPECT_TRUE(fs::is_empty(folder / "a folder"));
}

}  // namespace
