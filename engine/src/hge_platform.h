// What differs from one platform to the next, behind one small interface:
// starting the video, the command line where main does not get it, the
// clock and the wait between frames, the keys held down, the screen's usable
// area, the last look at a picture before it is shown, where the log goes
// and the network.
//
// Each platform fills one Platform in a file of its own: X11 and the other
// POSIX desktops (hge_platform_x11.cpp), Windows (hge_platform_windows.cpp)
// and the browser (hge_platform_web.cpp). The build compiles the one file
// of its target, whose NativePlatform() the engine runs on. The testing
// seam is one more platform, headless (hge_seam.cpp): a test chooses it
// at run time, and it stands in for the clock, the input and the screen and
// reads back what was drawn, through slots of its own that the native
// platforms leave null, so that a player's frames and quads never call out
// for a test.
//
// Only the engine's sources include this header.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "hge.h"
#include "hge_layout.h"

struct NetPlatform;

// A slot marked optional may be null: the platform has nothing to do there,
// or answers no (Says). The last group is the testing seam's alone: every
// native platform leaves it null, and the engine asks it only through the
// null check.
struct Platform {
    // ---- start-up, from System_Initiate

    // Sets SDL's hints and starts its video (engine.video.sdl_started once it
    // is up). False, with one log line saying why, when no window could be
    // seen or SDL cannot start.
    bool (*StartVideo)(HGE *hge);
    // Optional: the renderer never waits for the display's refresh, not even
    // at HGEFPS_VSYNC, and frames are paced by WaitUntil alone.
    bool (*RendererNeverWaits)() = nullptr;
    // The executable's name without folder or extension: the window's title
    // when none is set.
    std::string (*ProgramName)();
    // Optional: called by System_Shutdown before SDL closes.
    void (*Stops)() = nullptr;
    // Optional: the words of the program's own command line, without its
    // name, where main is not the entry that gets them (Windows, whose entry
    // is the game's WinMain); read by CommandLineWords().
    std::vector<std::string> (*CommandLineWords)() = nullptr;

    // ---- the clock and the frame loop (hge_loop.cpp)

    // Engine seconds since System_Initiate.
    double (*Seconds)();
    // Random_Int's seed, when the engine is created and initiated.
    uint32_t (*Seed)();
    // Called between frames: returns at `seconds` of engine time, or, where
    // the platform's own frames pace the loop (a browser's), at its next one.
    void (*WaitUntil)(double seconds);

    // ---- input (hge_input.cpp)

    // Marks the codes of the keys down now, when the frame loop starts, the
    // window first shows and whenever it gets the focus back.
    void (*MarkKeysDown)(std::array<bool, 256> &held);

    // ---- the window (hge_window.cpp, hge_scene.cpp)

    // The screen's area that windows may take (without the desktop's
    // panels), that the window's size at start is fitted to; 0x0: unknown.
    PictureSize (*UsableArea)(int display);
    // Optional: called just before the window is presented, its picture
    // drawn, with that picture's size at 1x.
    void (*Presenting)(PictureSize picture) = nullptr;

    // ---- the log

    // Takes one finished line of the engine's log.
    void (*Log)(const std::string &line);

    // ---- the network (hge_net.cpp, hge_net.h)

    // The platform's WebSocket client; left out (null), or returning null,
    // where it has none.
    const NetPlatform *(*Network)();

    // ---- the testing seam's (hge_seam.cpp), null on every native platform

    // Gamepads are never looked for: only a test that plugs a pad in starts
    // them. Where null, they are looked for once the first picture is out.
    bool (*IgnoresPads)() = nullptr;
    // Called at the start of every frame, before its events are read.
    void (*FrameBegins)(int frame) = nullptr;
    // Frames never wait for their time: they run back to back.
    bool (*FramesUnpaced)() = nullptr;
    // Called after a frame's render function with the frame's number; true
    // ends the frame loop as if the frame function had.
    bool (*FrameEnds)(int frame) = nullptr;
    // Called once the frame's events are read into its key: the platform may
    // stand in for what they pressed.
    void (*InputRead)() = nullptr;
    // Nobody sees the window: window scenes are only noted down, not drawn.
    bool (*WindowUnseen)() = nullptr;
    // Every scene is drawn whole and every window scene presented, even one
    // that repeats the last (a measure of the whole work of a frame).
    bool (*RedrawsEverything)() = nullptr;
    // Called with every quad Gfx_RenderQuad is given and the target it is
    // drawn into (0: the window or no scene).
    void (*QuadGiven)(const hgeQuad &quad, HTARGET target) = nullptr;
};

// An optional slot's answer: false where the platform left it null.
inline bool Says(bool (*slot)())
{
    return slot && slot();
}

// The platform the engine runs on now: the native one, or the headless one
// a test chose.
extern const Platform *platform;

// The platform this build is for (one file per platform defines it).
const Platform &NativePlatform();

// ---------------------------------------------------------------- shared by the platforms (hge_platform.cpp)

// The hints every platform sets before SDL starts.
void ChooseCommonHints();
// Starts SDL's video with the driver the hints and environment choose;
// false and a log line naming SDL's error when it cannot.
bool StartSdlVideo(HGE *hge);
// Seconds on the steady clock since the engine started.
double SteadySeconds();
// A seed from the steady clock.
uint32_t ClockSeed();
// Sleeps until `seconds` of steady-clock engine time.
void SleepUntil(double seconds);
// Marks the keys SDL itself reports down.
void MarkSdlKeysDown(std::array<bool, 256> &held);
// SDL's usable bounds of the display.
PictureSize SdlUsableArea(int display);
// Writes a log line to standard error.
void LogToStandardError(const std::string &line);
