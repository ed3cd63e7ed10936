// The engine on X11 and the other POSIX desktops SDL drives (Wayland, the
// console's framebuffer).
//
// Two things SDL does not tell here. Which display failed to open, and why:
// without one SDL falls back to a driver that shows nothing. And which keys
// are down when the window opens or gets the focus back: SDL reconciles only
// the modifier keys then, and a key held since before shows up later, when
// the X server's autorepeat sends it again, as a fresh press. The X server
// itself is asked instead, through the libX11 that SDL has loaded already
// (nothing more is linked or loaded).
#include "hge_internal.h"
#include "hge_net.h"
#include "hge_platform.h"

#include <SDL_syswm.h>
#include <X11/keysym.h>
#include <dlfcn.h>

#include <filesystem>

// ---------------------------------------------------------------- the display

// Video drivers that show nothing: SDL falls back to them without a display.
static const char *const invisible_drivers[] = {"offscreen", "dummy", "evdev"};

static bool DriverIsInvisible(const char *driver)
{
    for (const char *name : invisible_drivers) {
        if (driver && SDL_strcasecmp(driver, name) == 0)
            return true;
    }
    return false;
}

static bool EnvironmentChoseDriver()
{
    const char *chosen = SDL_getenv("SDL_VIDEODRIVER");
    return chosen && *chosen;
}

namespace {

// The display the environment names, and the variable naming it; X's first,
// as SDL tries it first.
struct NamedDisplay {
    const char *variable = nullptr;
    const char *name = nullptr;
};

}  // namespace

static NamedDisplay DisplayInEnvironment()
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = SDL_getenv(variable);
        if (value && *value)
            return {variable, value};
    }
    return {};
}

// Why a named display did not open, as far as can be told from outside. A
// local X display (":7", ":7.0", "unix:7") has its socket in /tmp/.X11-unix.
static std::string WhyDisplayFails(const NamedDisplay &display)
{
    if (SDL_strcmp(display.variable, "DISPLAY") != 0)
        return "no Wayland compositor answers there";
    std::string name = display.name;
    if (name.rfind("unix:", 0) == 0)
        name.erase(0, 4);
    if (name.empty() || name[0] != ':')
        return "no X server answers there, or it refused the connection";
    const std::string number = name.substr(1, name.find('.') - 1);
    std::error_code error;
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + number, error))
        return "no X server is running there";
    return "the X server there refused the connection";
}

// With a display named but none opened, says which and why; else asks for one.
static void LogNoDisplay(HGE *hge)
{
    const NamedDisplay display = DisplayInEnvironment();
    if (display.name)
        hge->System_Log("can't open display %s: %s", display.name, WhyDisplayFails(display).c_str());
    else
        hge->System_Log("no display: set DISPLAY or WAYLAND_DISPLAY");
}

static bool StartVideo(HGE *hge)
{
    ChooseCommonHints();
    // Without framebuffer acceleration SDL would hide a GL texture behind the
    // window: many times the CPU and memory of the plain framebuffer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Normal priority: SDL_RENDER_DRIVER in the environment still wins.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    if (EnvironmentChoseDriver())
        return StartSdlVideo(hge);
    // Left to itself, SDL falls back to a driver that shows nothing.
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
        engine.video.sdl_started = true;
        if (!DriverIsInvisible(SDL_GetCurrentVideoDriver()))
            return true;
    }
    LogNoDisplay(hge);
    return false;
}

static std::string ProgramName()
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.filename().string();
}

// ---------------------------------------------------------------- keys held

namespace {

// A run of keys whose codes and X keysyms both follow on from the first.
struct X11KeyRun {
    int code;
    int count;
    KeySym keysym;
};

}  // namespace

// Every key the engine reports, by its X keysym.
static const X11KeyRun x11_keys[] = {
    {HGEK_BACKSPACE, 1, XK_BackSpace},  {HGEK_TAB, 1, XK_Tab},
    {HGEK_ENTER, 1, XK_Return},         {HGEK_ENTER, 1, XK_KP_Enter},
    {HGEK_SHIFT, 1, XK_Shift_L},        {HGEK_SHIFT, 1, XK_Shift_R},
    {HGEK_CTRL, 1, XK_Control_L},       {HGEK_CTRL, 1, XK_Control_R},
    {HGEK_ALT, 1, XK_Alt_L},            {HGEK_ALT, 1, XK_Alt_R},
    {HGEK_PAUSE, 1, XK_Pause},          {HGEK_CAPSLOCK, 1, XK_Caps_Lock},
    {HGEK_ESCAPE, 1, XK_Escape},        {HGEK_SPACE, 1, XK_space},
    {HGEK_PGUP, 1, XK_Prior},           {HGEK_PGDN, 1, XK_Next},
    {HGEK_END, 1, XK_End},              {HGEK_HOME, 1, XK_Home},
    {HGEK_LEFT, 1, XK_Left},            {HGEK_UP, 1, XK_Up},
    {HGEK_RIGHT, 1, XK_Right},          {HGEK_DOWN, 1, XK_Down},
    {HGEK_INSERT, 1, XK_Insert},        {HGEK_DELETE, 1, XK_Delete},
    {HGEK_0, 10, XK_0},                 {HGEK_A, 26, XK_a},
    {HGEK_NUMPAD0, 10, XK_KP_0},        {HGEK_F1, 12, XK_F1},
};

namespace {

using QueryKeymap = int (*)(Display *, char[32]);
using KeysymToKeycode = KeyCode (*)(Display *, KeySym);

struct Xlib {
    QueryKeymap query_keymap = nullptr;
    KeysymToKeycode keysym_to_keycode = nullptr;
};

}  // namespace

// From the libX11 already in the process; none when SDL runs without X.
static const Xlib &LoadedXlib()
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

static void MarkX11KeysDown(std::array<bool, 256> &held)
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
    for (const X11KeyRun &run : x11_keys) {
        for (int i = 0; i < run.count; ++i) {
            const unsigned keycode = xlib.keysym_to_keycode(display, run.keysym + static_cast<KeySym>(i));
            if (keycode != 0 && keycode < 256 && (keys[keycode / 8] & (1 << (keycode % 8))))
                held[static_cast<size_t>(run.code + i) & 0xFF] = true;
        }
    }
}

static void MarkKeysDown(std::array<bool, 256> &held)
{
    MarkX11KeysDown(held);
    MarkSdlKeysDown(held);
}

// ---------------------------------------------------------------- the platform

static const Platform x11_platform = {
    .StartVideo = StartVideo,
    .ProgramName = ProgramName,
    .Seconds = SteadySeconds,
    .Seed = ClockSeed,
    .WaitUntil = SleepUntil,
    .MarkKeysDown = MarkKeysDown,
    .UsableArea = SdlUsableArea,
    .Log = LogToStandardError,
    .Network = AsioNetwork,
};

const Platform &NativePlatform()
{
    return x11_platform;
}
