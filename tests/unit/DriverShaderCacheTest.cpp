// The build's warmed driver shader cache at a start: Mesa is pointed at our folder only where the
// user left its place and kind to Mesa, and the build's entries are copied in without touching what
// the folder already holds or Mesa's own bookkeeping.
#include "app/DriverShaderCache.h"

#include "tests/unit/FileFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct EnvironmentCase {
    const char* name;
    std::map<std::string, std::string> set;
    bool redirected;
};

const EnvironmentCase kEnvironments[] = {
    {"nothing chosen", {}, true},
    {"cache switched on explicitly", {{"MESA_SHADER_CACHE_DISABLE", "false"}}, true},
    {"place chosen", {{"MESA_SHADER_CACHE_DIR", "/somewhere"}}, false},
    {"single-file kind chosen", {{"MESA_DISK_CACHE_SINGLE_FILE", "1"}}, false},
    {"database kind chosen", {{"MESA_DISK_CACHE_DATABASE", "1"}}, false},
    {"switched off", {{"MESA_SHADER_CACHE_DISABLE", "true"}}, false},
    {"switched off, as a number", {{"MESA_SHADER_CACHE_DISABLE", "1"}}, false},
};

TEST(DriverShaderCache, RedirectsOnlyWhereTheUserLeftItToMesa) {
    for (const EnvironmentCase& c : kEnvironments) {
        SCOPED_TRACE(c.name);
        const auto lookup = [&](const char* name) -> const char* {
            const auto found = c.set.find(name);
            return found == c.set.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(mayRedirectShaderCache(lookup), c.redirected);
    }
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string asText(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

class CopyMissingCacheFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("verdance-shader-cache-" + std::to_string(getpid()));
        fs::remove_all(root);
        built = root / "built";
        own = root / "own";
        writeText(built / "mesa_shader_cache/0a/entry-one", "one");
        writeText(built / "mesa_shader_cache/fb/entry-two", "two");
        writeText(built / "mesa_shader_cache/index", "the build's bookkeeping");
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root, built, own;
};

TEST_F(CopyMissingCacheFiles, CopiesWhatIsMissingAndKeepsWhatIsThere) {
    writeText(own / "mesa_shader_cache/fb/entry-two", "the user's own");
    writeText(own / "mesa_shader_cache/index", "the user's bookkeeping");
    const auto builtBefore = fixture::filesUnder(built);

    std::string why;
    ASSERT_TRUE(copyMissingCacheFiles(built, own, why)) << why;
    const auto files = fixture::filesUnder(own);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(asText(files.at("mesa_shader_cache/0a/entry-one")), "one");
    EXPECT_EQ(asText(files.at("mesa_shader_cache/fb/entry-two")), "the user's own");
    EXPECT_EQ(asText(files.at("mesa_shader_cache/index")), "the user's bookkeeping");
    EXPECT_EQ(fixture::filesUnder(built), builtBefore);

    // A second start finds everything in place and changes nothing.
    ASSERT_TRUE(copyMissingCacheFiles(built, own, why)) << why;
    EXPECT_EQ(fixture::filesUnder(own), files);
}

TEST_F(CopyMissingCacheFiles, AFileInTheWayOrAMissingSourceIsReportedByName) {
    writeText(own / "mesa_shader_cache/0a", "a file where a folder belongs");
    std::string why;
    EXPECT_FALSE(copyMissingCacheFiles(built, own, why));
    EXPECT_NE(why.find("mesa_shader_cache/0a"), std::string::npos) << why;

    why.clear();
    EXPECT_FALSE(copyMissingCacheFiles(root / "no-such-folder", own, why));
    EXPECT_NE(why.find("no-such-folder"), std::string::npos) << why;
}

}  // namespace
