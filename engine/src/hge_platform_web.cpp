// The engine in a web browser, built with emscripten. The window is the
// page's canvas (its id is "canvas"), which the page's style sizes; SDL's
// software renderer draws into it.
//
// The browser owns the page's thread: the frame loop still runs as on the
// desktop, System_Start blocking until the game ends, but between frames it
// hands control back to the browser (Asyncify unwinds the loop's few
// functions and rewinds them when the wait is over). A frame that presented
// waits for the next animation frame, one that showed nothing new for its
// deadline, and nothing runs while the page is hidden; at rest the frames
// run ahead of their time and the page sleeps between (Lead). The renderer never
// waits for the display itself.
//
// Two things SDL does not do here. Every present copies the whole window
// into the canvas through JavaScript, so the window is kept at the
// picture's own size (256x192, not the 3 MB of a 4x picture) and the page
// magnifies the canvas, a whole number of times on the screen's pixels and
// crisply (PlaceCanvas); SDL's own handling of the page's resizing, which
// would stretch the window to the page, is left out. And a key held down while the page loads or gets the focus
// back reaches SDL, through the browser's autorepeat, as a fresh press; such
// repeats are dropped before SDL sees them, so that the key counts once it
// is released and pressed again. Fullscreen is the page's, switched from the
// page's key handlers.
//
// The player's state folder ($XDG_STATE_HOME, or $HOME/.local/state in the
// browser's memory) outlives the page: its files are kept in the page's
// localStorage, put back before the game starts and written again whenever
// the game writes or closes one of them (KeepStateInPage).
#include "hge_internal.h"
#include "hge_net.h"
#include "hge_platform.h"

#include <emscripten.h>
#include <emscripten/html5.h>
#include <sys/random.h>

#include <algorithm>
#include <cstdlib>
#include <string>

// ---------------------------------------------------------------- the page

// The keys the page takes before SDL does. F11 and Alt+Enter switch the
// page to fullscreen and back, as the engine's own switch does elsewhere: a
// browser allows it only while it handles the player's key or click, never
// from a frame. A repeat of a key not pressed since the page got the focus
// is dropped. The browser's own keys (reload, its tools, anything with Ctrl
// or Meta) are left to the browser: SDL would swallow them. With
// `fullscreen_soon` the page goes fullscreen at the player's first key or
// click. Module.toggleFullscreen is the switch, for the page's button.
EM_JS(void, ListenToPage, (bool fullscreen_soon), {
    var root = document.documentElement;
    function isFullscreen() { return !!(document.fullscreenElement || document.webkitFullscreenElement); }
    function enter() {
        var request = root.requestFullscreen || root.webkitRequestFullscreen;
        var asked = request ? request.call(root) : null;
        if (asked && asked.catch)
            asked.catch(function(error) { out("fullscreen: " + error.message); });
    }
    function toggle() {
        fullscreen_soon = false;
        if (!isFullscreen())
            enter();
        else
            (document.exitFullscreen || document.webkitExitFullscreen).call(document);
    }
    function gesture() {
        if (fullscreen_soon)
            toggle();
    }
    Module["toggleFullscreen"] = toggle;
    var pressed = new Set();
    var browser_keys = new Set(["F5", "F12"]);
    addEventListener("keydown", function(event) {
        var modifier = event.key === "Control" || event.key === "Meta";
        if (browser_keys.has(event.key) || ((event.ctrlKey || event.metaKey) && !modifier)) {
            event.stopImmediatePropagation();
            return;
        }
        if (event.key === "F11" || (event.key === "Enter" && event.altKey)) {
            event.preventDefault();
            event.stopImmediatePropagation();
            if (!event.repeat)
                toggle();
            return;
        }
        gesture();
        if (event.repeat && !pressed.has(event.code)) {
            event.preventDefault();
            event.stopImmediatePropagation();
            return;
        }
        pressed.add(event.code);
    }, true);
    addEventListener("keyup", function(event) { pressed.delete(event.code); }, true);
    addEventListener("mousedown", gesture, true);
    addEventListener("touchend", gesture, true);
    addEventListener("blur", function() { pressed.clear(); }, true);
});

// Lays the canvas out on the page: its pixels (the window's) magnified the
// largest whole number of times that fits the page's own pixels (more than
// its units on a high-density screen or a zoomed page), or, on a screen too
// small for even one, shrunk as much as it must be, its pixels kept square;
// centred between black bars, but on a page taller than it is wide (a phone
// held upright) at the top, the bars below, where the thumbs are. Again
// whenever the page changes size or zoom, turns or goes fullscreen. The
// page's style samples it crisply.
EM_JS(void, PlaceCanvas, (), {
    var canvas = Module["canvas"];
    function place() {
        var ratio = devicePixelRatio || 1;
        var width = Math.floor(innerWidth * ratio), height = Math.floor(innerHeight * ratio);
        var fits = Math.min(width / canvas.width, height / canvas.height);
        var scale = fits >= 1 ? Math.floor(fits) : fits;
        var shown_width = Math.floor(canvas.width * scale), shown_height = Math.floor(canvas.height * scale);
        var upright = innerHeight > innerWidth;
        var left = Math.floor((width - shown_width) / 2) / ratio;
        var top = (upright ? 0 : Math.floor((height - shown_height) / 2)) / ratio;
        // Moved and magnified by a transform, which keeps fractions of a
        // unit that a length would round (a third of one, at 3 pixels a unit).
        var style = canvas.style;
        style.left = "0";
        style.top = "0";
        style.width = canvas.width + "px";
        style.height = canvas.height + "px";
        style.transformOrigin = "0 0";
        style.transform = "translate(" + left + "px, " + top + "px) scale(" + scale / ratio + ")";
    }
    if (!Module["placeCanvas"]) {
        Module["placeCanvas"] = place;
        addEventListener("resize", place);
        addEventListener("orientationchange", place);
    }
    place();
});

// Makes `folder`, and keeps the files under it in localStorage, one key a
// file ("state:" and its path, its bytes as a string of char codes): written
// back into the folder now, and stored again at every write to one of them
// and every close of one (a file truncated and closed unwritten is stored
// empty). A browser that keeps no storage (private windows may refuse it)
// keeps the files for the page's life alone.
EM_JS(void, KeepStateInPage, (const char *folder_utf8), {
    var folder = UTF8ToString(folder_utf8);
    var prefix = "state:";
    FS.mkdirTree(folder);
    var storage;
    try {
        storage = localStorage;
    } catch (refused) {
        return;
    }
    function inFolder(path) { return !!path && path.indexOf(folder + "/") === 0; }
    for (var i = 0; i < storage.length; ++i) {
        var key = storage.key(i);
        var path = key.substring(prefix.length);
        if (key.indexOf(prefix) !== 0 || !inFolder(path))
            continue;
        var text = storage.getItem(key);
        var bytes = new Uint8Array(text.length);
        for (var at = 0; at < text.length; ++at)
            bytes[at] = text.charCodeAt(at);
        FS.mkdirTree(path.substring(0, path.lastIndexOf("/")));
        FS.writeFile(path, bytes);
    }
    // Reading the file opens and closes it: those are not stored again.
    var storing = false;
    function store(path) {
        if (storing)
            return;
        storing = true;
        try {
            var bytes = FS.readFile(path);
            var text = "";
            for (var at = 0; at < bytes.length; at += 0x8000)
                text += String.fromCharCode.apply(null, bytes.subarray(at, at + 0x8000));
            storage.setItem(prefix + path, text);
        } catch (failed) {
            out("state: " + path + " cannot be kept: " + failed.message);
        } finally {
            storing = false;
        }
    }
    var write = FS.write, close = FS.close;
    FS.write = function(stream) {
        var written = write.apply(FS, arguments);
        if (inFolder(stream.path))
            store(stream.path);
        return written;
    };
    FS.close = function(stream) {
        var path = stream.path;
        close.apply(FS, arguments);
        if (inFolder(path))
            store(path);
    };
});

// The player's state folder as the XDG rules place it.
static std::string StateFolder()
{
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state)
        return state;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/state";
}

// Before main: the game may open a file there while it reads its options.
static const bool state_kept = [] {
    KeepStateInPage(StateFolder().c_str());
    return true;
}();

// Marks the first picture for the page and for measurements of start-up.
EM_JS(void, MarkFirstPicture, (), {
    performance.mark("torvek-first-picture");
    if (Module["onFirstPicture"])
        Module["onFirstPicture"]();
});

EM_JS(void, LogToConsole, (const char *line), {
    out(UTF8ToString(line));
});

// The program's main returns only at the end of the game, rewound from a
// wait long after the browser first called it, when nothing is there to see
// it end: once main first waits, its return becomes the program's exit (the
// page's onExit, the release of the runtime).
EM_JS(void, ExitWhenMainReturns, (), {
    Promise.resolve().then(function() {
        if (!Asyncify.currData)
            return;
        Asyncify.whenDone().then(function(status) {
            try {
                exit(status);
            } catch (thrown) {
                if (!(thrown instanceof ExitStatus))
                    throw thrown;
            }
        }, abort);
    });
});

// Returns at the browser's next animation frame, or after `delay_ms` when
// that is not negative; a hidden page has no animation frames, and its timers
// are not waited for either: nothing runs until it shows again. Frames are
// counted in Module.frames and the waits in Module.wakes, for measurements.
EM_ASYNC_JS(void, WaitForPage, (double delay_ms), {
    Module["frames"] = (Module["frames"] || 0) + 1;
    Module["wakes"] = (Module["wakes"] || 0) + 1;
    await new Promise(function(resolve) {
        if (delay_ms < 0 || document.hidden)
            requestAnimationFrame(resolve);
        else
            setTimeout(resolve, delay_ms);
    });
});

// Counts a frame run ahead of its time, without a wait.
EM_JS(void, CountFrameAhead, (), {
    Module["frames"] = (Module["frames"] || 0) + 1;
});

// What the page says about running frames ahead: not while it is hidden,
// once a gamepad has been seen (SDL reads pads only when a frame runs), or
// when the page asked for every frame to wait for its time (the old way,
// for measurements: `torvekEveryFrame` set before the program starts).
EM_JS(bool, PageLetsFramesRunAhead, (), {
    if (!Module["wakeOnInput"]) {
        // A frame runs after the event is handled, SDL's handlers included.
        var wake = function() {
            var woken = Module["woken"];
            Module["woken"] = null;
            if (woken)
                setTimeout(woken, 0);
        };
        ["keydown", "keyup", "mousedown", "mouseup", "mousemove", "wheel", "touchstart", "touchmove",
         "touchend", "touchcancel", "focus", "blur", "resize", "fullscreenchange"].forEach(function(type) {
            addEventListener(type, wake, true);
        });
        document.addEventListener("visibilitychange", wake, true);
        addEventListener("gamepadconnected", function() { Module["padSeen"] = true; wake(); }, true);
        Module["wakeOnInput"] = wake;
    }
    return !document.hidden && !Module["padSeen"] && !globalThis["torvekEveryFrame"];
});

// The next present of SDL's (its putImageData into the canvas) is kept
// back until the wait after its frame shows it (WaitForTimeOrPage).
EM_JS(void, HoldNextPicture, (), {
    var SDL2 = Module["SDL2"];
    var context = SDL2 && SDL2.ctx;
    if (!context)
        return;
    if (!context.torvekHolds) {
        context.torvekHolds = true;
        context.putImageData = function(image, x, y) {
            if (Module["holding"])
                Module["held"] = [image, x, y];
            else
                CanvasRenderingContext2D.prototype.putImageData.apply(this, arguments);
        };
    }
    Module["holding"] = true;
});

// Waits until `delay_ms` have passed, or less when the player presses,
// clicks, touches or moves something, or the page changes; then shows the
// picture held back, if any, at the browser's next animation frame (at
// once when woken). True when woken early.
EM_ASYNC_JS(bool, WaitForTimeOrPage, (double delay_ms), {
    Module["frames"] = (Module["frames"] || 0) + 1;
    Module["wakes"] = (Module["wakes"] || 0) + 1;
    var woken = await new Promise(function(resolve) {
        var timer = 0;
        Module["woken"] = function() {
            clearTimeout(timer);
            resolve(true);
        };
        timer = setTimeout(function() {
            Module["woken"] = null;
            if (Module["held"] || document.hidden)
                requestAnimationFrame(function() { resolve(false); });
            else
                resolve(false);
        }, Math.max(0, delay_ms));
    });
    Module["woken"] = null;
    Module["holding"] = false;
    var held = Module["held"];
    Module["held"] = null;
    var SDL2 = Module["SDL2"];
    if (held && SDL2 && SDL2.ctx)
        CanvasRenderingContext2D.prototype.putImageData.apply(SDL2.ctx, held);
    return woken;
});

// ---------------------------------------------------------------- frames ahead of their time

// A frame that shows nothing new and does not read the clock depends on the
// frame count and the input alone; while no input comes, it may run before
// its time as well as at it. So at rest the frames run ahead of the clock,
// back to back, up to the first that shows something new (its picture is
// held back until its time), the first that reads the clock, or a second
// ahead; then the page sleeps until that time. The browser wakes a few
// times a second instead of sixty, and every picture is still shown at its
// frame's time. Input wakes it at once: the engine's clock then skips ahead
// to the frames already run, so that the frame answering the input runs
// and shows now, and the times the game measures from then on are whole.
// The online game's messages come in through frames: not while connected.
struct Lead {
    double offset = 0.0;      // engine time minus steady-clock time
    bool ahead = false;       // the frame that ran ran ahead of its time
    double frame_time = 0.0;  // that frame's time, the clock while it ran
};

static Lead lead;
static constexpr double LONGEST_LEAD_SECONDS = 1.0;

static double EngineClock()
{
    return lead.ahead ? lead.frame_time : SteadySeconds() + lead.offset;
}

static bool NextFrameMayRunAhead(double lead_seconds)
{
    return !engine.loop.presented && !engine.loop.clock_read && lead_seconds <= LONGEST_LEAD_SECONDS &&
           net.state == HGENET_CLOSED && PageLetsFramesRunAhead();
}

// ---------------------------------------------------------------- the platform

static bool StartVideo(HGE *hge)
{
    SDL_SetMainReady();
    ChooseCommonHints();
    // SDL would otherwise also hand control to the browser after every
    // present, outside the functions prepared for it.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    // The window is measured in the canvas's own pixels (WindowAtPictureSize).
    SDL_SetHint(SDL_HINT_VIDEO_HIGHDPI_DISABLED, "1");
    if (!StartSdlVideo(hge))
        return false;
    // The game reads keys, never text: without text input SDL keeps every key
    // it reports from the page, so arrows and Space do not scroll it and
    // Backspace does not go back.
    SDL_StopTextInput();
    // The window opens in the page either way; a page may go fullscreen only
    // at a key or click of the player's.
    const bool fullscreen_soon = !engine.settings.windowed;
    engine.settings.windowed = true;
    ListenToPage(fullscreen_soon);
    ExitWhenMainReturns();
    return true;
}

static uint32_t Seed()
{
    uint32_t seed = 0;
    if (getentropy(&seed, sizeof seed) != 0)
        seed = ClockSeed();
    return seed;
}

// As on the desktop, where presenting waits for the display's refresh and a
// frame that showed nothing new sleeps to its deadline: a frame that
// presented waits for the browser's next animation frame, any other until
// `seconds`, without asking the browser for a frame it would not need; at
// rest the next frame runs ahead of its time instead (Lead).
static void WaitUntil(double seconds)
{
    const double now = SteadySeconds() + lead.offset;
    if (NextFrameMayRunAhead(seconds - now)) {
        lead.ahead = true;
        lead.frame_time = seconds;
        CountFrameAhead();
        return;
    }
    if (lead.ahead) {
        lead.ahead = false;
        // A held picture is shown at its frame's time, the next frame runs at its own.
        const double until = engine.loop.presented ? lead.frame_time : seconds;
        if (WaitForTimeOrPage((until - now) * 1000.0))
            lead.offset += std::max(0.0, seconds - (SteadySeconds() + lead.offset));
        return;
    }
    if (engine.loop.presented && engine.settings.fps == HGEFPS_VSYNC)
        WaitForPage(-1.0);
    else
        WaitForPage(std::max(0.0, seconds - now) * 1000.0);
}

// The window keeps the size of the picture at 1x, whatever the page's: a
// present that finds it out of step shows nothing, and the resize's event
// draws the next frame whole.
static bool WindowAtPictureSize(PictureSize picture)
{
    static bool page_places_canvas = false;
    if (!page_places_canvas) {
        page_places_canvas = true;
        // Without this SDL would bring the window to the canvas's size on
        // the page at every resize of the page.
        emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, 0, nullptr);
        PlaceCanvas();
    }
    SDL_Window *window = engine.video.window;
    PictureSize now;
    SDL_GetWindowSize(window, &now.width, &now.height);
    if (picture.width <= 0 || picture.height <= 0 || picture == now)
        return true;
    SDL_SetWindowSize(window, picture.width, picture.height);
    PlaceCanvas();
    return false;
}

static void Presenting(PictureSize picture)
{
    static bool first_shown = false;
    if (!WindowAtPictureSize(picture))
        return;
    if (lead.ahead)
        HoldNextPicture();
    if (!first_shown) {
        first_shown = true;
        MarkFirstPicture();
    }
}

static void Log(const std::string &line)
{
    LogToConsole(line.c_str());
}

static const Platform web_platform = {
    .StartVideo = StartVideo,
    .RendererNeverWaits = [] { return true; },
    .ProgramName = [] { return std::string("torvek"); },
    .Seconds = EngineClock,
    .Seed = Seed,
    .WaitUntil = WaitUntil,
    .MarkKeysDown = MarkSdlKeysDown,
    .UsableArea = SdlUsableArea,
    .Presenting = Presenting,
    .Log = Log,
    .Network = WebNetwork,
};

const Platform &NativePlatform()
{
    return web_platform;
}
