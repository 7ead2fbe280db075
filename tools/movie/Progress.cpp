#include "tools/movie/Progress.h"

#include <string>
#include <unistd.h>

namespace {

constexpr int kPercentStep = 5;  // plain lines: 21 for a whole render
constexpr int kBarWidth = 30;

std::string clockTime(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

Progress::Progress(long total, std::FILE* out) : total(total), out(out), terminal(isatty(fileno(out)) != 0) {}

void Progress::update(long done) {
    const auto now = Clock::now();
    // The rate counts from the first frame on: a chunk's first frame also pays for the simulation
    // that leads up to it.
    if (!started) {
        started = true;
        firstFrame = now;
    }
    const double seconds = std::chrono::duration<double>(now - firstFrame).count();
    const double rate = done > 1 && seconds > 0.0 ? (done - 1) / seconds : 0.0;
    const std::string left = rate > 0.0 ? clockTime((total - done) / rate) : "?";
    const int percent = static_cast<int>(100 * done / total);

    if (terminal) {
        const int filled = static_cast<int>(kBarWidth * done / total);
        std::fprintf(out, "\r[%s%s] %ld/%ld frames  %.2f fps  %s left ", std::string(filled, '#').c_str(),
                     std::string(kBarWidth - filled, '.').c_str(), done, total, rate, left.c_str());
        std::fflush(out);
        return;
    }
    if (percent < nextPercent && done < total) return;
    std::fprintf(out, "movie: %3d%%  %ld/%ld frames  %.2f fps  %s left\n", percent, done, total, rate, left.c_str());
    std::fflush(out);
    nextPercent = (percent / kPercentStep + 1) * kPercentStep;
}

void Progress::finish() {
    if (terminal) std::fputc('\n', out);
    std::fflush(out);
}
