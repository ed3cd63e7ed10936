// The frame loop, the clock and the pacing of frames; what the loop reads
// from the platform each frame is hge_input.cpp's.
#include "hge_internal.h"
#include "hge_net.h"
#include "hge_pacing.h"

#include <cmath>
#include <algorithm>

static constexpr double DEFAULT_REFRESH_HZ = 60.0;

// ---------------------------------------------------------------- clock

double EngineSeconds()
{
    return platform->Seconds();
}

float HGE::Timer_GetTime()
{
    engine.loop.clock_read = true;
    return static_cast<float>(EngineSeconds());
}

int HGE::Timer_GetFPS()
{
    return engine.timing.fps;
}

void CountShownFrame()
{
    double now = EngineSeconds();
    ++engine.timing.shown_frames;
    double elapsed = now - engine.timing.counting_since;
    if (elapsed >= 1.0) {
        engine.timing.fps = static_cast<int>(std::lround(engine.timing.shown_frames / elapsed));
        engine.timing.shown_frames = 0;
        engine.timing.counting_since = now;
    }
}

// ---------------------------------------------------------------- frame loop

static double DisplayPeriod()
{
    if (engine.settings.fps > 0)
        return 1.0 / engine.settings.fps;
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(engine.video.window);
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
        return 1.0 / mode.refresh_rate;
    return 1.0 / DEFAULT_REFRESH_HZ;
}

static FramePacer MakePacer()
{
    PaceMode mode = PaceMode::Deadlines;
    if (Says(platform->FramesUnpaced) || engine.settings.fps == 0)
        mode = PaceMode::Unpaced;
    else if (engine.video.vsync)
        mode = PaceMode::Measuring;
    return FramePacer(mode, DisplayPeriod(), EngineSeconds());
}

static void WaitForNextFrame(FramePacer &pacer)
{
    double now = EngineSeconds();
    double next = pacer.FrameDone(now, engine.loop.presented);
    if (engine.video.vsync && !pacer.WantsVsync()) {
        SDL_RenderSetVSync(engine.video.renderer, 0);
        engine.video.vsync = false;
    }
    platform->WaitUntil(std::max(next, now));
}

static bool RunFrame(int frame)
{
    if (platform->FrameBegins)
        platform->FrameBegins(frame);
    engine.loop.presented = false;
    engine.loop.clock_read = false;
    ReadEvents();
    ReadNetwork();
    if (engine.loop.quit)
        return true;
    if (engine.settings.frame_func())
        return true;
    // Read only now: the frame function may have installed another one.
    if (engine.settings.render_func)
        engine.settings.render_func();
    // A window never drawn into still shows once its first frame is over.
    ShowWindowAtStart(nullptr);
    // Gamepads are a bonus, started once the first picture is out (SDL takes
    // a millisecond or two to look for them); a pad plugged in before is
    // reported in the next frame.
    if (frame == 0 && !Says(platform->IgnoresPads))
        StartPads();
    if (platform->FrameEnds && platform->FrameEnds(frame))
        return true;
    return !engine.settings.frame_func;
}

bool HGE::System_Start()
{
    if (!engine.video.initiated) {
        System_Log("System_Start: the engine is not initiated");
        return false;
    }
    if (!engine.settings.frame_func) {
        System_Log("System_Start: no frame function");
        return false;
    }
    if (engine.loop.running) {
        System_Log("System_Start: the frame loop is already running");
        return false;
    }
    engine.loop.running = true;
    engine.loop.quit = false;
    NoteKeysHeld();
    FramePacer pacer = MakePacer();
    for (int frame = 0; !RunFrame(frame); ++frame)
        WaitForNextFrame(pacer);
    engine.loop.running = false;
    engine.loop.key = 0;
    engine.loop.click = 0;
    return true;
}
