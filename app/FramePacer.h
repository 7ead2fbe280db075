// When the next frame of the live loop may start. A swap interval of n asks for at most one frame
// every n refreshes; where the buffer swap waits for the refresh itself, nothing more is needed, but
// some displays (a virtual X server, some software drivers) return from the swap at once, and the
// loop would then redraw a still picture as fast as the machine allows. This keeps frames at least
// one interval apart there, and a frame that showed nothing new (a still picture kept on screen)
// waits one refresh whatever the interval. Frames that take longer than that are never delayed.
#pragma once

struct FramePacer {
    int swapInterval = 1;  // the settings' v_sync: 0 off, n every n-th refresh
    int refreshRate = 60;  // Hz; 0 or less means 60

    double refreshSeconds() const { return 1.0 / (refreshRate > 0 ? refreshRate : 60); }

    // The earliest start of the next frame, in the clock of `frameStart` (seconds). `swapSeconds` is
    // how long the frame's buffer swap took; `presented` is false when the frame swapped nothing.
    double nextFrameStart(double frameStart, double swapSeconds, bool presented) const {
        const double refresh = refreshSeconds();
        if (!presented) return frameStart + refresh * (swapInterval > 1 ? swapInterval : 1);
        const double interval = refresh * swapInterval;
        // A swap that blocked for half an interval or more is paced by the display already; waiting
        // here as well would skip a refresh now and then.
        if (swapInterval <= 0 || swapSeconds >= 0.5 * interval) return frameStart;
        return frameStart + interval;
    }
};
