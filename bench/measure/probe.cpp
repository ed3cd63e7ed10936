// LD_PRELOAD library for measuring the unmodified program from outside: it
// wraps SDL_RenderPresent (presented frames, the time of the first) and
// SDL_PollEvent (a frame's event loop ends with the one call that finds the
// queue empty, so those calls count frames, presented or not) and writes the
// counts into the file named by TORVEK_PROBE_FILE.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "probe.h"

namespace {

ProbeCounters unshared;
ProbeCounters *counters = &unshared;

uint64_t Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

__attribute__((constructor)) void MapCounters()
{
    const char *path = std::getenv(TORVEK_PROBE_FILE);
    if (!path)
        return;
    int file = open(path, O_RDWR);
    if (file < 0)
        return;
    void *shared = mmap(nullptr, sizeof(ProbeCounters), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    close(file);
    if (shared != MAP_FAILED)
        counters = static_cast<ProbeCounters *>(shared);
}

template <typename Function>
Function Real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" DECLSPEC void SDLCALL SDL_RenderPresent(SDL_Renderer *renderer)
{
    static auto real = Real<void (*)(SDL_Renderer *)>("SDL_RenderPresent");
    real(renderer);
    if (counters->presents++ == 0)
        counters->first_present_ns = Now();
}

extern "C" DECLSPEC int SDLCALL SDL_PollEvent(SDL_Event *event)
{
    static auto real = Real<int (*)(SDL_Event *)>("SDL_PollEvent");
    int got = real(event);
    if (!got) {
        counters->last_frame_ns = Now();
        ++counters->frames;
    }
    return got;
}
