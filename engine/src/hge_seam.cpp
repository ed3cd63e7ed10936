// The testing seam as a platform: in place of the native one, it starts
// SDL headless and runs on the clock, keys and screen a test chose, and it
// keeps what was drawn and logged for the test to look at. What the test
// did not choose is the native platform's.
#include "hge_seam.h"

SeamState seam;

// Seam log lines kept at most; older ones are dropped first.
static constexpr size_t MAX_LOG_LINES = 1000;

void StandIn()
{
    platform = &seam_platform;
}

static const Platform &Native()
{
    return NativePlatform();
}

static bool StartVideo(HGE *hge)
{
    if (seam.fail_next_initiate) {
        seam.fail_next_initiate = false;
        hge->System_Log("no display: set DISPLAY or WAYLAND_DISPLAY");
        return false;
    }
    if (!seam.headless)
        return Native().StartVideo(hge);
    ChooseCommonHints();
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_OVERRIDE);
    // A headless window never has the focus that gamepad events otherwise wait for.
    SDL_SetHintWithPriority(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1", SDL_HINT_OVERRIDE);
    return StartSdlVideo(hge);
}

// Nothing to wait for headless, and the virtual clock's frames take no time.
static bool RendererNeverWaits()
{
    return seam.headless || seam.virtual_clock || Says(Native().RendererNeverWaits);
}

// Headless, only a test that plugs a pad in starts them, so that no pad of
// the machine the tests run on takes part.
static bool IgnoresPads()
{
    return seam.headless;
}

static double Seconds()
{
    return seam.virtual_clock ? seam.now : Native().Seconds();
}

static uint32_t Seed()
{
    return seam.seeded ? seam.seed : Native().Seed();
}

static void FrameBegins(int frame)
{
    if (seam.virtual_clock && frame > 0)
        seam.now += seam.clock_step;
    seam.frame_count = frame + 1;
}

static bool FramesUnpaced()
{
    return seam.virtual_clock;
}

static void WaitUntil(double seconds)
{
    if (!seam.virtual_clock)
        Native().WaitUntil(seconds);
}

static bool FrameEnds(int frame)
{
    return seam.frame_hook && seam.frame_hook(frame);
}

// While keys are scripted, the frame's key is the script's, whatever else
// the platform reported.
static void InputRead()
{
    if (!seam.scripted_keys)
        return;
    engine.loop.key = 0;
    if (!seam.keys.empty()) {
        engine.loop.key = seam.keys.front();
        seam.keys.pop_front();
    }
}

static void MarkKeysDown(std::array<bool, 256> &held)
{
    if (!seam.held_keys_set) {
        Native().MarkKeysDown(held);
        return;
    }
    for (int code : seam.held_keys)
        held[static_cast<size_t>(code) & 0xFF] = true;
}

static PictureSize UsableArea(int display)
{
    return seam.usable_area.width > 0 ? seam.usable_area : Native().UsableArea(display);
}

// Nobody can see a headless window unless a test reads it back.
static bool WindowUnseen()
{
    return seam.headless && !seam.capture_window && !seam.draw_window;
}

static bool RedrawsEverything()
{
    return seam.redraw_every_frame;
}

static void Presenting(PictureSize picture)
{
    if (seam.capture_window)
        CaptureShownWindow();
    ++seam.presents;
    if (Native().Presenting)
        Native().Presenting(picture);
}

static void QuadGiven(const hgeQuad &quad, HTARGET target)
{
    if (seam.record_quads)
        seam.quads.push_back({quad, target});
}

static void Stops()
{
    UnplugVirtualPads();
    if (Native().Stops)
        Native().Stops();
}

static void Log(const std::string &line)
{
    Native().Log(line);
    if (seam.log_lines.size() >= MAX_LOG_LINES)
        seam.log_lines.erase(seam.log_lines.begin());
    seam.log_lines.push_back(line);
}

const Platform seam_platform = {
    .StartVideo = StartVideo,
    .RendererNeverWaits = RendererNeverWaits,
    .ProgramName = [] { return NativePlatform().ProgramName(); },
    .Stops = Stops,
    .Seconds = Seconds,
    .Seed = Seed,
    .WaitUntil = WaitUntil,
    .MarkKeysDown = MarkKeysDown,
    .UsableArea = UsableArea,
    .Presenting = Presenting,
    .Log = Log,
    // The real network: tests play through a real server.
    .Network = [] { return Native().Network ? Native().Network() : nullptr; },
    .IgnoresPads = IgnoresPads,
    .FrameBegins = FrameBegins,
    .FramesUnpaced = FramesUnpaced,
    .FrameEnds = FrameEnds,
    .InputRead = InputRead,
    .WindowUnseen = WindowUnseen,
    .RedrawsEverything = RedrawsEverything,
    .QuadGiven = QuadGiven,
};
