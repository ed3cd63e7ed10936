// The one place where SDL's key codes and gamepad buttons become the Windows
// virtual-key codes that Input_GetKey reports, and where the engine's own
// keys are named.
#include "hge_internal.h"

namespace {

// A run of consecutive SDL keys and the code of its first key; the codes of
// the others follow on.
struct KeyRun {
    SDL_Keycode first;
    SDL_Keycode last;
    int code;
};

}  // namespace

// SDL names a letter by its lower-case character whatever the shift state,
// so the letters map straight onto the upper-case codes.
static const KeyRun key_table[] = {
    {SDLK_BACKSPACE, SDLK_BACKSPACE, HGEK_BACKSPACE},
    {SDLK_TAB, SDLK_TAB, HGEK_TAB},
    {SDLK_RETURN, SDLK_RETURN, HGEK_ENTER},
    {SDLK_KP_ENTER, SDLK_KP_ENTER, HGEK_ENTER},
    {SDLK_LSHIFT, SDLK_LSHIFT, HGEK_SHIFT},
    {SDLK_RSHIFT, SDLK_RSHIFT, HGEK_SHIFT},
    {SDLK_LCTRL, SDLK_LCTRL, HGEK_CTRL},
    {SDLK_RCTRL, SDLK_RCTRL, HGEK_CTRL},
    {SDLK_LALT, SDLK_LALT, HGEK_ALT},
    {SDLK_RALT, SDLK_RALT, HGEK_ALT},
    {SDLK_PAUSE, SDLK_PAUSE, HGEK_PAUSE},
    {SDLK_CAPSLOCK, SDLK_CAPSLOCK, HGEK_CAPSLOCK},
    {SDLK_ESCAPE, SDLK_ESCAPE, HGEK_ESCAPE},
    {SDLK_SPACE, SDLK_SPACE, HGEK_SPACE},
    {SDLK_PAGEUP, SDLK_PAGEUP, HGEK_PGUP},
    {SDLK_PAGEDOWN, SDLK_PAGEDOWN, HGEK_PGDN},
    {SDLK_END, SDLK_END, HGEK_END},
    {SDLK_HOME, SDLK_HOME, HGEK_HOME},
    {SDLK_LEFT, SDLK_LEFT, HGEK_LEFT},
    {SDLK_UP, SDLK_UP, HGEK_UP},
    {SDLK_RIGHT, SDLK_RIGHT, HGEK_RIGHT},
    {SDLK_DOWN, SDLK_DOWN, HGEK_DOWN},
    {SDLK_INSERT, SDLK_INSERT, HGEK_INSERT},
    {SDLK_DELETE, SDLK_DELETE, HGEK_DELETE},
    {SDLK_0, SDLK_9, HGEK_0},
    {SDLK_a, SDLK_z, HGEK_A},
    {SDLK_KP_0, SDLK_KP_0, HGEK_NUMPAD0},
    {SDLK_KP_1, SDLK_KP_9, HGEK_NUMPAD0 + 1},
    {SDLK_F1, SDLK_F12, HGEK_F1},
};

int TranslateKey(SDL_Keycode key)
{
    for (const KeyRun &run : key_table) {
        if (key >= run.first && key <= run.last)
            return run.code + (key - run.first);
    }
    return 0;
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
