// The one place where SDL's key codes and gamepad buttons become the Windows
// virtual-key codes that Input_GetKey reports, and where the engine's own
// keys are named.
#include "hge_internal.h"

#include <X11/keysym.h>

namespace {

// A run of consecutive SDL keys and the code of its first key; the codes of
// the others follow on, and so do their X keysyms (X11 names keys by these).
struct KeyRun {
    SDL_Keycode first;
    SDL_Keycode last;
    int code;
    unsigned long x_keysym;
};

}  // namespace

// SDL names a letter by its lower-case character whatever the shift state,
// so the letters map straight onto the upper-case codes.
static const KeyRun key_table[] = {
    {SDLK_BACKSPACE, SDLK_BACKSPACE, HGEK_BACKSPACE, XK_BackSpace},
    {SDLK_TAB, SDLK_TAB, HGEK_TAB, XK_Tab},
    {SDLK_RETURN, SDLK_RETURN, HGEK_ENTER, XK_Return},
    {SDLK_KP_ENTER, SDLK_KP_ENTER, HGEK_ENTER, XK_KP_Enter},
    {SDLK_LSHIFT, SDLK_LSHIFT, HGEK_SHIFT, XK_Shift_L},
    {SDLK_RSHIFT, SDLK_RSHIFT, HGEK_SHIFT, XK_Shift_R},
    {SDLK_LCTRL, SDLK_LCTRL, HGEK_CTRL, XK_Control_L},
    {SDLK_RCTRL, SDLK_RCTRL, HGEK_CTRL, XK_Control_R},
    {SDLK_LALT, SDLK_LALT, HGEK_ALT, XK_Alt_L},
    {SDLK_RALT, SDLK_RALT, HGEK_ALT, XK_Alt_R},
    {SDLK_PAUSE, SDLK_PAUSE, HGEK_PAUSE, XK_Pause},
    {SDLK_CAPSLOCK, SDLK_CAPSLOCK, HGEK_CAPSLOCK, XK_Caps_Lock},
    {SDLK_ESCAPE, SDLK_ESCAPE, HGEK_ESCAPE, XK_Escape},
    {SDLK_SPACE, SDLK_SPACE, HGEK_SPACE, XK_space},
    {SDLK_PAGEUP, SDLK_PAGEUP, HGEK_PGUP, XK_Prior},
    {SDLK_PAGEDOWN, SDLK_PAGEDOWN, HGEK_PGDN, XK_Next},
    {SDLK_END, SDLK_END, HGEK_END, XK_End},
    {SDLK_HOME, SDLK_HOME, HGEK_HOME, XK_Home},
    {SDLK_LEFT, SDLK_LEFT, HGEK_LEFT, XK_Left},
    {SDLK_UP, SDLK_UP, HGEK_UP, XK_Up},
    {SDLK_RIGHT, SDLK_RIGHT, HGEK_RIGHT, XK_Right},
    {SDLK_DOWN, SDLK_DOWN, HGEK_DOWN, XK_Down},
    {SDLK_INSERT, SDLK_INSERT, HGEK_INSERT, XK_Insert},
    {SDLK_DELETE, SDLK_DELETE, HGEK_DELETE, XK_Delete},
    {SDLK_0, SDLK_9, HGEK_0, XK_0},
    {SDLK_a, SDLK_z, HGEK_A, XK_a},
    {SDLK_KP_0, SDLK_KP_0, HGEK_NUMPAD0, XK_KP_0},
    {SDLK_KP_1, SDLK_KP_9, HGEK_NUMPAD0 + 1, XK_KP_1},
    {SDLK_F1, SDLK_F12, HGEK_F1, XK_F1},
};

int TranslateKey(SDL_Keycode key)
{
    for (const KeyRun &run : key_table) {
        if (key >= run.first && key <= run.last)
            return run.code + (key - run.first);
    }
    return 0;
}

void ForEachX11Key(const std::function<void(unsigned long x_keysym, int code)> &visit)
{
    for (const KeyRun &run : key_table) {
        for (SDL_Keycode key = run.first; key <= run.last; ++key)
            visit(run.x_keysym + static_cast<unsigned long>(key - run.first), run.code + (key - run.first));
    }
}

bool IsFullscreenKey(const SDL_Keysym &key)
{
    return key.sym == SDLK_F11 ||
           ((key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT));
}

// ---------------------------------------------------------------- gamepads

namespace {

struct PadKey {
    SDL_GameControllerButton button;
    int code;
};

}  // namespace

// The D-pad is the arrows; the face buttons by position, whatever their
// letters on a given pad: south takes or places, east goes back, north
// starts a match from the main menu.
static const PadKey pad_table[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, HGEK_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, HGEK_RIGHT},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, HGEK_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, HGEK_DOWN},
    {SDL_CONTROLLER_BUTTON_A, HGEK_SPACE},
    {SDL_CONTROLLER_BUTTON_B, HGEK_BACKSPACE},
    {SDL_CONTROLLER_BUTTON_Y, HGEK_N},
    {SDL_CONTROLLER_BUTTON_START, HGEK_ENTER},
    {SDL_CONTROLLER_BUTTON_BACK, HGEK_ESCAPE},
};

int TranslatePadButton(int button)
{
    for (const PadKey &entry : pad_table) {
        if (entry.button == button)
            return entry.code;
    }
    return 0;
}

int TranslateStickPush(int axis, int direction)
{
    if (axis == SDL_CONTROLLER_AXIS_LEFTX)
        return direction < 0 ? HGEK_LEFT : direction > 0 ? HGEK_RIGHT : 0;
    if (axis == SDL_CONTROLLER_AXIS_LEFTY)
        return direction < 0 ? HGEK_UP : direction > 0 ? HGEK_DOWN : 0;
    return 0;
}
