// What SDL does not tell on X11: which keys are down when the window opens
// or gets the focus back. SDL reconciles only the modifier keys then; a key
// held since before shows up later, when the X server's autorepeat sends it
// again, as a fresh press. The X server itself is asked instead, through the
// libX11 that SDL has loaded already (nothing more is linked or loaded).
#include "hge_internal.h"

#include <SDL_syswm.h>
#include <dlfcn.h>

namespace {

using QueryKeymap = int (*)(Display *, char[32]);
using KeysymToKeycode = KeyCode (*)(Display *, KeySym);

struct Xlib {
    QueryKeymap query_keymap = nullptr;
    KeysymToKeycode keysym_to_keycode = nullptr;
};

// From the libX11 already in the process; none when SDL runs on another platform.
const Xlib &LoadedXlib()
{
    static const Xlib xlib = [] {
        Xlib found;
        void *library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            return found;
        found.query_keymap = reinterpret_cast<QueryKeymap>(dlsym(library, "XQueryKeymap"));
        found.keysym_to_keycode = reinterpret_cast<KeysymToKeycode>(dlsym(library, "XKeysymToKeycode"));
        // libX11 stays loaded with SDL; this only drops the count just taken.
        dlclose(library);
        return found;
    }();
    return xlib;
}

}  // namespace

void MarkX11KeysDown(std::array<bool, 256> &held)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!engine.video.window || !SDL_GetWindowWMInfo(engine.video.window, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return;
    const Xlib &xlib = LoadedXlib();
    if (!xlib.query_keymap || !xlib.keysym_to_keycode)
        return;
    Display *display = info.info.x11.display;
    char keys[32] = {};
    xlib.query_keymap(display, keys);
    ForEachX11Key([&](unsigned long keysym, int code) {
        const unsigned keycode = xlib.keysym_to_keycode(display, keysym);
        if (keycode != 0 && keycode < 256 && (keys[keycode / 8] & (1 << (keycode % 8))))
            held[static_cast<size_t>(code) & 0xFF] = true;
    });
}
