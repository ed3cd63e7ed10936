// What the player presses, read once a frame into the one key Input_GetKey
// reports, and the platform's other events (quitting, window and display
// changes) handed on.
#include "hge_internal.h"

// ---------------------------------------------------------------- the frame's key

// The first press of the frame is its key; the others are dropped, not kept
// for later frames. Scripted keys replace the player's.
static void Press(int code)
{
    if (code != 0 && engine.loop.key == 0 && !seam.scripted_keys)
        engine.loop.key = code;
}

static void TakeScriptedKey()
{
    engine.loop.key = 0;
    if (!seam.keys.empty()) {
        engine.loop.key = seam.keys.front();
        seam.keys.pop_front();
    }
}

int HGE::Input_GetKey()
{
    return engine.loop.key;
}

// ---------------------------------------------------------------- keyboard

static void KeyDown(const SDL_KeyboardEvent &key)
{
    if (key.repeat)
        return;
    // The engine's own: the game never sees them.
    if (IsFullscreenKey(key.keysym)) {
        ToggleFullscreen();
        return;
    }
    Press(TranslateKey(key.keysym.sym));
}

// ---------------------------------------------------------------- events

static void WindowEvent(const SDL_WindowEvent &)
{
    // Uncovered, restored, resized, moved to another screen, switched to or
    // from fullscreen: the window may have lost its picture or need it laid
    // out anew.
    engine.window.force_present = true;
}

void ReadEvents()
{
    engine.loop.key = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: engine.loop.quit = true; break;
        case SDL_KEYDOWN: KeyDown(event.key); break;
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
    if (seam.scripted_keys)
        TakeScriptedKey();
}
