// Keyboard events pushed as the platform reports them, for the engine's
// tests of keys and of the window.
#pragma once

#include <SDL.h>

// One event of `key`: SDL_KEYDOWN or SDL_KEYUP.
inline void PushKey(Uint32 type, SDL_Keycode key, Uint16 modifiers = KMOD_NONE, bool repeat = false)
{
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.keysym.mod = modifiers;
    SDL_PushEvent(&event);
}

// `key` pressed (with `repeat`: its autorepeat) and released.
inline void PressKey(SDL_Keycode key, bool repeat = false, Uint16 modifiers = KMOD_NONE)
{
    PushKey(SDL_KEYDOWN, key, modifiers, repeat);
    PushKey(SDL_KEYUP, key, modifiers);
}
