// The testing seam's platform, and what tests have chosen for it. Only
// hge_seam.cpp, which runs it, and hge_testing.cpp, where tests choose,
// include this header.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "hge_internal.h"
#include "hge_testing.h"

struct SeamState {
    bool headless = false;
    bool virtual_clock = false;
    float clock_step = 1.0f / 60.0f;
    float now = 0.0f;
    bool seeded = false;
    uint32_t seed = 0;
    bool scripted_keys = false;
    std::deque<int> keys;
    std::function<bool(int)> frame_hook;
    bool fail_next_initiate = false;
    bool record_quads = false;
    std::vector<hgeTesting::RecordedQuad> quads;
    bool capture_window = false;
    bool draw_window = false;
    bool redraw_every_frame = false;
    PictureSize usable_area;  // 0x0: the platform's own
    bool held_keys_set = false;
    std::vector<int> held_keys;
    std::vector<SDL_Joystick *> pads;  // virtual pads by number, null once unplugged
    hgeTesting::Pixels window;
    std::vector<std::string> log_lines;
    int frame_count = 0;
    int presents = 0;
};

extern SeamState seam;

// The platform of a test: the native one wherever the test chose nothing
// else, headless (SDL's dummy video driver and software renderer) once it
// chose so; its clock, keys, screen and frames as the test chose; what was
// drawn and logged kept for the test. Every choice of the seam puts it in
// place of the native platform, until hgeTesting::Reset().
extern const Platform seam_platform;

// Puts the seam's platform in place (hge_testing.cpp calls it with every choice).
void StandIn();

// Unplugs the virtual pads a test plugged in (hge_testing.cpp).
void UnplugVirtualPads();
// Reads the window's output back just before it is presented, while
// CaptureWindow is on (hge_testing.cpp).
void CaptureShownWindow();
