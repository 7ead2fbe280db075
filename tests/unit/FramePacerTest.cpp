// When the live loop's next frame may start: swaps that return at once are paced to the refresh
// interval the settings ask for, swaps that wait and long frames are left alone, and a still picture
// that presents nothing waits one refresh even with v_sync off.
#include "app/FramePacer.h"

#include <gtest/gtest.h>

namespace {

struct PacingCase {
    const char* name;
    int swapInterval;
    int refreshRate;
    double swapSeconds;
    bool presented;
    double expectedWait;  // seconds after the frame's start
};

// At 60 Hz one refresh is 16.67 ms; a swap of 0.2 ms is one that returned at once (a virtual X
// server), one of 12 ms waited for the display.
const PacingCase kCases[] = {
    {"v_sync 1, swap returns at once: one refresh", 1, 60, 0.0002, true, 1.0 / 60.0},
    {"v_sync 2, swap returns at once: two refreshes", 2, 60, 0.0002, true, 2.0 / 60.0},
    {"v_sync 1 at 144 Hz", 1, 144, 0.0002, true, 1.0 / 144.0},
    {"refresh rate 0 counts as 60 Hz", 1, 0, 0.0002, true, 1.0 / 60.0},
    {"swap waited for the display: no wait of ours", 1, 60, 0.012, true, 0.0},
    {"v_sync 0: frames as fast as they come", 0, 60, 0.0002, true, 0.0},
    {"nothing presented, v_sync 0: still one refresh", 0, 60, 0.0, false, 1.0 / 60.0},
    {"nothing presented, v_sync 2: two refreshes", 2, 60, 0.0, false, 2.0 / 60.0},
};

TEST(FramePacer, WaitsOnlyWhereTheSwapDoesNot) {
    for (const PacingCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const FramePacer pacer{c.swapInterval, c.refreshRate};
        const double start = 1000.0;
        EXPECT_NEAR(pacer.nextFrameStart(start, c.swapSeconds, c.presented) - start, c.expectedWait, 1e-9);
    }
}

}  // namespace
