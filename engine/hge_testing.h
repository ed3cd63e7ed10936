// The testing seam of the engine. Tests and benchmarks call it; the game
// and the tools never do. Everything set here is chosen before
// System_Initiate and holds until Reset(), so that a test can run the real
// program headless, with a virtual clock and scripted keys, and look at what
// it drew. The seam is a platform of its own: what is chosen here for the
// clock, the keys, the screen and the log takes effect once UseHeadless()
// has chosen it; the read-back works on any platform, and so do the PNG
// files of what was read (hge_png.h). The window, keyboard, gamepad and
// pointer calls near the end stand in for a player at a real screen (tests
// of the engine's window and input, and the whole-program gamepad and
// pointer tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hge.h"
#include "hge_png.h"

namespace hgeTesting {

// What targets and the window are read back into, and its PNG files.
using hgePng::LoadPNG;
using hgePng::Pixels;
using hgePng::SavePNG;

// One Gfx_RenderQuad call and the target it drew into (0: the window).
struct RecordedQuad {
    hgeQuad quad;
    HTARGET target;
};

// Back to the defaults: the platform the program was built for, a real
// window, the steady clock, the keyboard, no hook, nothing recorded.
void Reset();

// The headless platform: SDL's dummy video driver with the software
// renderer, no window shown, the seam's clock, keys, screen and log.
void UseHeadless();

// Timer_GetTime starts at `start` and advances by exactly `step` seconds at
// the start of every frame after the first; the loop never sleeps.
void UseVirtualClock(float step = 1.0f / 60.0f, float start = 0.0f);
// Moves the virtual clock to `seconds` (between frames, or from a hook).
void SetTime(float seconds);

// Seed of Random_Int, used instead of the clock.
void SetSeed(uint32_t seed);

// Keys for the coming frames, one code per frame (0: no key), appended to
// what is still queued. While keys are scripted the real keyboard is ignored.
void QueueKeys(const std::vector<int> &keys);
// Scripted keys not yet consumed.
size_t PendingKeys();

// Called after every frame's render function with the frame's number (from
// 0). Returning true ends the frame loop as if the frame function had.
void SetFrameHook(std::function<bool(int frame)> hook);

// Makes the next System_Initiate fail as if no display were there.
void FailNextInitiate();

// Records every Gfx_RenderQuad call from now on.
void RecordQuads(bool on);
const std::vector<RecordedQuad> &Quads();
void ClearQuads();

// Headless, the window is not drawn frame by frame (that would cost a
// scripted minute of play seconds); its last scene is only noted down and
// drawn when ReadWindow asks. CaptureWindow(true) instead draws every frame
// and reads it back just before presenting, so the picture outlives the
// textures it was drawn from (a frame that shows nothing new is not
// presented, and its capture is the last one). Off by default.
void CaptureWindow(bool on);
// Draws the headless window every frame without reading it back (benchmarks
// of a player's frame). Off by default.
void DrawHeadlessWindow(bool on);
// Draws every scene in full and presents every window scene, as if each
// frame showed something new (benchmarks of the whole work of a frame). Off
// by default: a target scene that repeats the target's last one is not drawn
// again, and a window scene equal to the one the window shows is not drawn
// or presented.
void RedrawEveryFrame(bool on);

// The pixels of a render target as they stand now.
Pixels ReadTarget(HTARGET target);
// The window as last presented: the captured frame while CaptureWindow is
// on, else the last window scene drawn now (its textures must still exist).
// Empty pixels when there is none.
Pixels ReadWindow();

// ---------------------------------------------------------------- window, keyboard, gamepads

// The usable area of the screen (without the desktop's panels) that the
// window's size at start is fitted to, in place of the platform's. Headless,
// the platform's screen is SDL's dummy one of 1024x768.
void SetUsableDisplayArea(int width, int height);
// Resizes the window, as a player dragging its edge does (a window not
// shown yet is shown first); the platform reports it like any resize.
void ResizeWindow(int width, int height);

// The keys (Input_GetKey codes) that the platform reports held down
// whenever the engine looks: when the frame loop starts, when the window
// first shows and when it gets the focus back. In place of the keyboard's
// own state.
void HoldKeys(const std::vector<int> &codes);

// Buttons of a virtual gamepad, by position: south is A on most pads.
enum class PadButton { South, East, West, North, Back, Start, Up, Down, Left, Right, LeftShoulder };

// Plugs in a virtual gamepad (SDL's virtual joystick, as a game controller)
// and starts the engine's gamepad support if it has not (headless, only
// this starts it); the pad's number, or -1 when SDL cannot make one. The
// engine sees the pad, and every change made below, at the next frame's
// reading of the platform's events. Between System_Initiate and shutdown,
// which unplugs every pad left.
int PlugInPad();
void SetPadButton(int pad, PadButton button, bool down);
// The left stick, each axis from -1 to 1: right and down are positive.
void SetPadStick(int pad, float x, float y);
void UnplugPad(int pad);

// ---------------------------------------------------------------- the pointer

// A mouse and a finger on the window, at points in window coordinates (on a
// HiDPI screen the output has more pixels than these). Each is pushed as the
// events SDL reports for it and read at the next frame's reading of the
// platform's events, mapped onto the picture as a real pointer's are.
// Between System_Initiate and shutdown.
void MovePointer(int x, int y);
// The mouse moved to (x, y), `button` (HGEK_LBUTTON or HGEK_RBUTTON) pressed
// and released there.
void ClickPointer(int x, int y, int button = HGEK_LBUTTON);
// A finger's tap at (x, y), as SDL reports a touch: a left click of its
// touch mouse.
void TapPointer(int x, int y);
// The mouse leaves the window.
void PointerLeaves();

// Every line written to the headless platform's log since the last Reset
// (they still go to standard error too).
const std::vector<std::string> &LogLines();

// Number of frames run by the current or last System_Start.
int FrameCount();

// Times the window was presented since the last Reset. A window scene equal
// to the one the window shows already (same steps from the same target
// pictures) is not drawn or presented again; headless scenes that are only
// noted down are not presented either.
int PresentCount();

}  // namespace hgeTesting
