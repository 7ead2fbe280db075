#include "app/OfflineRun.h"

#include "render/Particles.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdlib>

namespace {

// A time counts as reached this close before it, so that 95.0 s at 30 frames a second is frame
// 2850 and not 2851 after the product's rounding.
constexpr double kFrameTolerance = 1e-6;

}  // namespace

long frameAtVideoTime(double videoSeconds, double framesPerSecond) {
    return static_cast<long>(std::ceil(videoSeconds * framesPerSecond - kFrameTolerance));
}

long movieFrameCount(double framesPerSecond, double creditsSeconds) {
    return frameAtVideoTime(kVideoSecondsBeforePlay + kPlayEndSeconds + creditsSeconds, framesPerSecond);
}

OfflineRun::OfflineRun(double framesPerSecond) : framesPerSecond(framesPerSecond) {}

OfflineRun::~OfflineRun() = default;

int OfflineRun::start(int width, int height, bool demoWindowSamples) {
    // Nothing is played: the silent driver spares machines without sound their error lines.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    demo.setHidden(true);
    demo.setDemoWindowSamples(demoWindowSamples);
    // Without an X display (farm machines, CI, a terminal over ssh) there is no window to hide: the
    // frames are drawn on a surfaceless context, pixel for pixel what the hidden window gives.
    const char* display = std::getenv("DISPLAY");
    demo.setSurfaceless(!display || !*display);
    demo.setSize(width, height);
    if (const int code = demo.start()) return code;
    clock = std::make_unique<FixedStepClock>(1.0 / framesPerSecond);
    loop = std::make_unique<FrameLoop>(demo.getWindow(), demo.getTargets(), demo.getPostProcessing(),
                                       demo.getLevel(), demo.getTitleScreens(), nullptr, *clock, gameFlow());
    loop->passes().keepFinishedPictures(true);

    loop->runFrame();  // the load sequence: it presents the loading picture and starts the intro
    const LevelStages& stages = demo.getLevel().stages;
    seedRepeatably({stages.goodParticles.get(), stages.hopeParticles.get(), stages.badParticles.get()});
    return 0;
}

bool OfflineRun::simulateUntil(long index, const std::function<bool()>& stop) {
    for (; next < index; ++next) {
        if (stop && stop()) return false;
        loop->simulateFrame();
    }
    return true;
}

const std::vector<std::uint8_t>& OfflineRun::drawFrame(long index) {
    simulateUntil(index, nullptr);
    loop->runFrame();
    ++next;
    return loop->passes().finishedPicture();
}

int OfflineRun::shutdown() {
    loop.reset();
    return demo.shutdown();
}

int OfflineRun::width() const { return GlobalState::instance().width; }
int OfflineRun::height() const { return GlobalState::instance().height; }
