// The testing seam: what a test chooses in place of the platform, and the
// read-back of targets and of the window that tests look at.
#include "hge_seam.h"

#include <algorithm>

// ---------------------------------------------------------------- read-back

static hgeTesting::Pixels ReadRenderTarget(SDL_Texture *texture, int width, int height)
{
    hgeTesting::Pixels pixels;
    if (!ReadPixels(texture, width, height, pixels.argb))
        return hgeTesting::Pixels();
    pixels.width = width;
    pixels.height = height;
    return pixels;
}

// The window's output as it stands.
static hgeTesting::Pixels ReadOutput()
{
    const PictureSize output = OutputSize();
    return ReadRenderTarget(nullptr, output.width, output.height);
}

void CaptureShownWindow()
{
    seam.window = ReadOutput();
}

// Draws the last window scene ended (also one only noted down headless) and
// reads it back; empty pixels when there is none.
static hgeTesting::Pixels DrawDryWindow()
{
    SDL_Renderer *renderer = engine.video.renderer;
    if (!renderer || !engine.window.last_ended)
        return hgeTesting::Pixels();
    SDL_Texture *previous = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, nullptr);
    DrawWindowScene(engine.window.scenes.last, false);
    hgeTesting::Pixels pixels = ReadOutput();
    SDL_SetRenderTarget(renderer, previous);
    return pixels;
}

void UnplugVirtualPads()
{
    for (int pad = 0; pad < static_cast<int>(seam.pads.size()); ++pad)
        hgeTesting::UnplugPad(pad);
    seam.pads.clear();
}

namespace hgeTesting {

void Reset()
{
    seam = SeamState();
    platform = &NativePlatform();
}

void UseHeadless()
{
    StandIn();
    seam.headless = true;
}

void UseVirtualClock(float step, float start)
{
    StandIn();
    seam.virtual_clock = true;
    seam.clock_step = step;
    seam.now = start;
}

void SetTime(float seconds)
{
    seam.now = seconds;
}

void SetSeed(uint32_t seed)
{
    StandIn();
    seam.seeded = true;
    seam.seed = seed;
    engine.random.seed(seed);
}

void QueueKeys(const std::vector<int> &keys)
{
    StandIn();
    seam.scripted_keys = true;
    seam.keys.insert(seam.keys.end(), keys.begin(), keys.end());
}

size_t PendingKeys()
{
    return seam.keys.size();
}

void SetFrameHook(std::function<bool(int frame)> hook)
{
    StandIn();
    seam.frame_hook = std::move(hook);
}

void FailNextInitiate()
{
    StandIn();
    seam.fail_next_initiate = true;
}

void RecordQuads(bool on)
{
    StandIn();
    seam.record_quads = on;
}

const std::vector<RecordedQuad> &Quads()
{
    return seam.quads;
}

void ClearQuads()
{
    seam.quads.clear();
}

void CaptureWindow(bool on)
{
    StandIn();
    seam.capture_window = on;
}

void DrawHeadlessWindow(bool on)
{
    StandIn();
    seam.draw_window = on;
}

void RedrawEveryFrame(bool on)
{
    StandIn();
    seam.redraw_every_frame = on;
}

Pixels ReadTarget(HTARGET target)
{
    // Mid-scene, the target shows every step given so far.
    DrawHeldBackSteps();
    const TextureEntry *entry = FindTexture(target);
    if (!entry || !entry->target)
        return Pixels();
    return ReadRenderTarget(entry->texture, entry->width, entry->height);
}

Pixels ReadWindow()
{
    if (seam.capture_window)
        return seam.window;
    return DrawDryWindow();
}

void SetUsableDisplayArea(int width, int height)
{
    StandIn();
    seam.usable_area = {width, height};
}

void ResizeWindow(int width, int height)
{
    if (!engine.video.window)
        return;
    // Only a window on the screen has an edge to drag.
    ShowWindowAtStart(nullptr);
    SDL_SetWindowSize(engine.video.window, width, height);
}

void HoldKeys(const std::vector<int> &codes)
{
    StandIn();
    seam.held_keys_set = true;
    seam.held_keys = codes;
}

static SDL_GameControllerButton SdlButton(PadButton button)
{
    switch (button) {
    case PadButton::South: return SDL_CONTROLLER_BUTTON_A;
    case PadButton::East: return SDL_CONTROLLER_BUTTON_B;
    case PadButton::West: return SDL_CONTROLLER_BUTTON_X;
    case PadButton::North: return SDL_CONTROLLER_BUTTON_Y;
    case PadButton::Back: return SDL_CONTROLLER_BUTTON_BACK;
    case PadButton::Start: return SDL_CONTROLLER_BUTTON_START;
    case PadButton::Up: return SDL_CONTROLLER_BUTTON_DPAD_UP;
    case PadButton::Down: return SDL_CONTROLLER_BUTTON_DPAD_DOWN;
    case PadButton::Left: return SDL_CONTROLLER_BUTTON_DPAD_LEFT;
    case PadButton::Right: return SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    case PadButton::LeftShoulder: return SDL_CONTROLLER_BUTTON_LEFTSHOULDER;
    }
    return SDL_CONTROLLER_BUTTON_INVALID;
}

// A virtual joystick with every button and axis of a game controller; SDL
// maps each one to the controller's button or axis of the same number.
int PlugInPad()
{
    StandIn();
    if (!engine.video.initiated || !StartPads())
        return -1;
    SDL_VirtualJoystickDesc pad{};
    pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    pad.naxes = SDL_CONTROLLER_AXIS_MAX;
    pad.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    pad.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    pad.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    pad.name = "virtual pad";
    const int device = SDL_JoystickAttachVirtualEx(&pad);
    if (device < 0)
        return -1;
    SDL_Joystick *joystick = SDL_JoystickOpen(device);
    if (!joystick) {
        SDL_JoystickDetachVirtual(device);
        return -1;
    }
    seam.pads.push_back(joystick);
    return static_cast<int>(seam.pads.size()) - 1;
}

static SDL_Joystick *Pad(int pad)
{
    return pad >= 0 && pad < static_cast<int>(seam.pads.size()) ? seam.pads[pad] : nullptr;
}

void SetPadButton(int pad, PadButton button, bool down)
{
    if (SDL_Joystick *joystick = Pad(pad))
        SDL_JoystickSetVirtualButton(joystick, SdlButton(button), down ? 1 : 0);
}

static Sint16 AxisValue(float position)
{
    const float clamped = std::clamp(position, -1.0f, 1.0f);
    return static_cast<Sint16>(clamped < 0 ? clamped * 32768.0f : clamped * 32767.0f);
}

void SetPadStick(int pad, float x, float y)
{
    if (SDL_Joystick *joystick = Pad(pad)) {
        SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, AxisValue(x));
        SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, AxisValue(y));
    }
}

// SDL finds a virtual joystick's device index by its instance id.
static void Detach(SDL_Joystick *joystick)
{
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    SDL_JoystickClose(joystick);
    for (int device = 0; device < SDL_NumJoysticks(); ++device) {
        if (SDL_JoystickGetDeviceInstanceID(device) == id) {
            SDL_JoystickDetachVirtual(device);
            return;
        }
    }
}

void UnplugPad(int pad)
{
    if (SDL_Joystick *joystick = Pad(pad)) {
        Detach(joystick);
        seam.pads[pad] = nullptr;
    }
}

static Uint32 WindowId()
{
    return engine.video.window ? SDL_GetWindowID(engine.video.window) : 0;
}

static void PushMotion(Uint32 which, int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = WindowId();
    event.motion.which = which;
    event.motion.x = x;
    event.motion.y = y;
    SDL_PushEvent(&event);
}

static void PushButton(Uint32 type, Uint32 which, int x, int y, Uint8 button)
{
    SDL_Event event{};
    event.type = type;
    event.button.windowID = WindowId();
    event.button.which = which;
    event.button.button = button;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
}

// Moved there, pressed and released, as SDL reports a click or a tap.
static void PushClick(Uint32 which, int x, int y, Uint8 button)
{
    if (!engine.video.initiated)
        return;
    PushMotion(which, x, y);
    PushButton(SDL_MOUSEBUTTONDOWN, which, x, y, button);
    PushButton(SDL_MOUSEBUTTONUP, which, x, y, button);
}

void MovePointer(int x, int y)
{
    if (engine.video.initiated)
        PushMotion(0, x, y);
}

void ClickPointer(int x, int y, int button)
{
    PushClick(0, x, y, button == HGEK_RBUTTON ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT);
}

void TapPointer(int x, int y)
{
    PushClick(SDL_TOUCH_MOUSEID, x, y, SDL_BUTTON_LEFT);
}

void PointerLeaves()
{
    if (!engine.video.initiated)
        return;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = WindowId();
    event.window.event = SDL_WINDOWEVENT_LEAVE;
    SDL_PushEvent(&event);
}

const std::vector<std::string> &LogLines()
{
    return seam.log_lines;
}

int FrameCount()
{
    return seam.frame_count;
}

int PresentCount()
{
    return seam.presents;
}

}  // namespace hgeTesting
