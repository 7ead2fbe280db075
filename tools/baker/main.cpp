// baker: writes every generated asset under the given assets folder, deterministically.
// Usage: baker <assetsDir> [--reduced]. Exits 1 when an argument is wrong or any expected file was
// not written by this run, so the build stops instead of shipping stale or missing data.
#include "tools/baker/Bake.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

void printUsage() {
    std::printf(
        "Usage: baker <assetsDir> [--reduced]\n"
        "Writes the generated assets under <assetsDir>: scene/ (the level and its buffer), textures/\n"
        "(materials, sprites, intro and credits pictures, the HDR sky) and media/ (the music).\n"
        "The output is deterministic: the same bytes on every run.\n"
        "  --reduced  small pictures and a few seconds of music (for tests)\n"
        "  --help     this text\n");
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    BakeOptions options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            printUsage();
            return 0;
        }
        if (!std::strcmp(argv[i], "--reduced")) {
            options.reduced = true;
        } else if (argv[i][0] == '-' || !options.assetsDir.empty()) {
            std::printf("ERROR: Unknown argument '%s'\n", argv[i]);
            printUsage();
            return 1;
        } else {
            options.assetsDir = argv[i];
        }
    }
    if (options.assetsDir.empty()) {
        printUsage();
        return 1;
    }

    // Files older than this were not written by this run. File times come from the kernel's coarse
    // clock, which can lag a precise reading by a few milliseconds; a second of slack covers it.
    const auto bakeStart = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(1);
    struct Step { const char* name; void (*bake)(const BakeOptions&); };
    const Step steps[] = {{"level", bakeLevel}, {"sky", bakeSky}, {"titles", bakeTitles},
                          {"sprites", bakeSprites}, {"music", bakeMusic}};
    const auto total = std::chrono::steady_clock::now();
    for (const Step& step : steps) {
        const auto start = std::chrono::steady_clock::now();
        step.bake(options);
        std::printf("baked %-8s %6.2f s\n", step.name, secondsSince(start));
        std::fflush(stdout);
    }

    const char* expected[] = {"scene/thistle_exploration_scene3.gltf", "textures/skybox2.hdr",
                              "textures/intro.dds", "textures/credits.dds", "textures/goodParticle.dds",
                              "textures/hopeParticle.dds", "textures/badParticles3.dds", "media/music.mp3"};
    int missing = 0;
    for (const char* name : expected) {
        const std::filesystem::path path = std::filesystem::path(options.assetsDir) / name;
        std::error_code error;
        const auto written = std::filesystem::last_write_time(path, error);
        if (error || written < bakeStart || std::filesystem::file_size(path, error) == 0 || error) {
            std::printf("ERROR: Bake incomplete: '%s' was not written\n", path.string().c_str());
            ++missing;
        }
    }
    std::printf("baked all in %.2f s%s\n", secondsSince(total), missing ? " with errors" : "");
    std::fflush(stdout);
    return missing ? 1 : 0;
}
