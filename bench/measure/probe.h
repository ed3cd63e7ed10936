// What the probe library, preloaded into the program, shares with the
// measuring tool through a small file both map: times on CLOCK_MONOTONIC in
// nanoseconds, and counts.
#pragma once

#include <cstdint>

// The environment variable naming the shared file; read by the probe only.
#define TORVEK_PROBE_FILE "TORVEK_PROBE_FILE"

struct ProbeCounters {
    uint64_t first_present_ns;  // when the first SDL_RenderPresent returned
    uint64_t presents;          // SDL_RenderPresent calls
    uint64_t frames;            // frames run: event loops that found the queue empty
    uint64_t last_frame_ns;     // when the latest frame read its events
};
