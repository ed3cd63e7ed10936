// What the player presses: the keyboard and any number of gamepads, read
// once a frame into the one key Input_GetKey reports; the mouse and the
// fingers, read into the frame's one click and the pointer's place on the
// picture; and the platform's other events (quitting, window and display
// changes) handed on.
//
// Only a key that goes down while the window has the focus is a press. A key
// already down when the window opens or gets the focus back reaches the
// game as pressed all the same, when SDL reconciles its state or when the
// key's autorepeat comes (so Escape held while the game starts would quit
// it at once): the keys down at those moments are noted, from SDL and, where
// SDL does not know them all, from the platform (hge_platform_*.cpp), and their presses count only once they
// have been released.
#include "hge_internal.h"

#include <cstdlib>

// A push of the left stick: past half way on an axis. It is over once the
// stick is back within a quarter, so a stick resting near the line does not
// flicker into a series of pushes.
static constexpr int STICK_PUSH = 16384;
static constexpr int STICK_REST = 8192;

// ---------------------------------------------------------------- the frame's key

// The first press of the frame is its key; the others are dropped, not kept
// for later frames.
static void Press(int code)
{
    if (code != 0 && engine.loop.key == 0)
        engine.loop.key = code;
}

int HGE::Input_GetKey()
{
    return engine.loop.key;
}

// ---------------------------------------------------------------- keyboard

static bool &Held(int code)
{
    return engine.input.held[static_cast<size_t>(code) & 0xFF];
}

void NoteKeysHeld()
{
    engine.input.held.fill(false);
    platform->MarkKeysDown(engine.input.held);
}

static void KeyDown(const SDL_KeyboardEvent &key)
{
    if (key.repeat)
        return;
    // The engine's own: the game never sees them.
    if (IsFullscreenKey(key.keysym)) {
        ToggleFullscreen();
        return;
    }
    const int code = TranslateKey(key.keysym.sym);
    if (code != 0 && !Held(code))
        Press(code);
}

static void KeyUp(const SDL_KeyboardEvent &key)
{
    const int code = TranslateKey(key.keysym.sym);
    if (code != 0)
        Held(code) = false;
}

// ---------------------------------------------------------------- gamepads

bool StartPads()
{
    if (engine.input.pads_started)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        engine.object->System_Log("Can't use gamepads: %s", SDL_GetError());
        return false;
    }
    engine.input.pads_started = true;
    return true;
}

void ClosePads()
{
    for (auto &[id, pad] : engine.input.pads)
        SDL_GameControllerClose(pad.controller);
    engine.input.pads.clear();
    engine.input.pads_started = false;
}

static void PadPlugged(int device_index)
{
    SDL_GameController *controller = SDL_GameControllerOpen(device_index);
    if (!controller)
        return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    auto [entry, added] = engine.input.pads.try_emplace(id);
    // SDL counts opens: a pad reported twice is held once.
    if (!added) {
        SDL_GameControllerClose(controller);
        return;
    }
    entry->second.controller = controller;
}

static void PadUnplugged(SDL_JoystickID id)
{
    auto found = engine.input.pads.find(id);
    if (found == engine.input.pads.end())
        return;
    SDL_GameControllerClose(found->second.controller);
    engine.input.pads.erase(found);
}

// One press per push of the stick past half way, none while it is held there.
static void StickMoved(const SDL_ControllerAxisEvent &motion)
{
    auto found = engine.input.pads.find(motion.which);
    if (found == engine.input.pads.end())
        return;
    int *pushed = nullptr;
    if (motion.axis == SDL_CONTROLLER_AXIS_LEFTX)
        pushed = &found->second.stick_x;
    else if (motion.axis == SDL_CONTROLLER_AXIS_LEFTY)
        pushed = &found->second.stick_y;
    else
        return;
    int now = *pushed;
    if (motion.value >= STICK_PUSH)
        now = 1;
    else if (motion.value <= -STICK_PUSH)
        now = -1;
    else if (std::abs(static_cast<int>(motion.value)) < STICK_REST)
        now = 0;
    if (now != 0 && now != *pushed)
        Press(TranslateStickPush(motion.axis, now));
    *pushed = now;
}

// ---------------------------------------------------------------- the pointer

// SDL reports touches as mouse events of its own mouse SDL_TOUCH_MOUSEID: a
// tap is a left click, and a finger hovers nowhere.
static bool FromMouse(Uint32 which)
{
    return which != SDL_TOUCH_MOUSEID;
}

static void MouseAt(Uint32 which, int x, int y)
{
    EngineState::Input::Mouse &mouse = engine.input.mouse;
    mouse.over_window = FromMouse(which);
    mouse.x = x;
    mouse.y = y;
}

static int ButtonCode(Uint8 button)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return HGEK_LBUTTON;
    case SDL_BUTTON_RIGHT: return HGEK_RBUTTON;
    default: return 0;
    }
}

// The first press of the frame over the picture is its click, at the point
// where it was pressed.
static void ButtonDown(const SDL_MouseButtonEvent &press)
{
    MouseAt(press.which, press.x, press.y);
    const int code = ButtonCode(press.button);
    float x = 0, y = 0;
    if (code == 0 || engine.loop.click != 0 || !WindowToPicture(press.x, press.y, &x, &y))
        return;
    engine.loop.click = code;
    engine.loop.click_x = x;
    engine.loop.click_y = y;
}

int HGE::Input_GetClick()
{
    return engine.loop.click;
}

bool HGE::Input_GetMousePos(float *x, float *y)
{
    float px = 0, py = 0;
    if (engine.loop.click != 0) {
        px = engine.loop.click_x;
        py = engine.loop.click_y;
    } else {
        const EngineState::Input::Mouse &mouse = engine.input.mouse;
        if (!mouse.over_window || !WindowToPicture(mouse.x, mouse.y, &px, &py))
            return false;
    }
    if (x)
        *x = px;
    if (y)
        *y = py;
    return true;
}

// ---------------------------------------------------------------- events

static void WindowEvent(const SDL_WindowEvent &window)
{
    if (window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
        NoteKeysHeld();
    // Its coming back is told by its next move.
    if (window.event == SDL_WINDOWEVENT_LEAVE)
        engine.input.mouse.over_window = false;
    // Uncovered, restored, resized, moved to another screen, switched to or
    // from fullscreen: the window may have lost its picture or need it laid
    // out anew.
    engine.window.force_present = true;
}

void ReadEvents()
{
    engine.loop.key = 0;
    engine.loop.click = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: engine.loop.quit = true; break;
        case SDL_KEYDOWN: KeyDown(event.key); break;
        case SDL_KEYUP: KeyUp(event.key); break;
        case SDL_MOUSEMOTION: MouseAt(event.motion.which, event.motion.x, event.motion.y); break;
        case SDL_MOUSEBUTTONDOWN: ButtonDown(event.button); break;
        case SDL_CONTROLLERDEVICEADDED: PadPlugged(event.cdevice.which); break;
        case SDL_CONTROLLERDEVICEREMOVED: PadUnplugged(event.cdevice.which); break;
        case SDL_CONTROLLERBUTTONDOWN: Press(TranslatePadButton(event.cbutton.button)); break;
        case SDL_CONTROLLERAXISMOTION: StickMoved(event.caxis); break;
        case SDL_WINDOWEVENT: WindowEvent(event.window); break;
        case SDL_DISPLAYEVENT: engine.window.force_present = true; break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            engine.window.force_present = true;
            NoteResourcesChanged();
            break;
        default: break;
        }
    }
    if (platform->InputRead)
        platform->InputRead();
}
