// What most platforms do alike, for their Platform to use where it fits.
#include "hge_platform.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "hge_internal.h"

const Platform *platform = &NativePlatform();

void ChooseCommonHints()
{
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
}

bool StartSdlVideo(HGE *hge)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        hge->System_Log("Can't start SDL video: %s", SDL_GetError());
        return false;
    }
    engine.video.sdl_started = true;
    return true;
}

double SteadySeconds()
{
    std::chrono::duration<double> since = std::chrono::steady_clock::now() - engine.timing.start;
    return since.count();
}

uint32_t ClockSeed()
{
    return static_cast<uint32_t>(engine.timing.start.time_since_epoch().count());
}

void SleepUntil(double seconds)
{
    auto wake = engine.timing.start +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    std::this_thread::sleep_until(wake);
}

void MarkSdlKeysDown(std::array<bool, 256> &held)
{
    int count = 0;
    const Uint8 *state = SDL_GetKeyboardState(&count);
    for (int scancode = 0; state && scancode < count; ++scancode) {
        if (!state[scancode])
            continue;
        const int code = TranslateKey(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode)));
        if (code != 0)
            held[static_cast<size_t>(code) & 0xFF] = true;
    }
}

PictureSize SdlUsableArea(int display)
{
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0)
        return {};
    return {usable.w, usable.h};
}

void LogToStandardError(const std::string &line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
}
