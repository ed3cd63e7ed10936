#include "hge_internal.h"

#include <SDL_image.h>

SeamState seam;

namespace hgeTesting {

void Reset()
{
    seam = SeamState();
}

void UseHeadless()
{
    seam.headless = true;
}

void UseVirtualClock(float step, float start)
{
    seam.virtual_clock = true;
    seam.clock_step = step;
    seam.now = start;
}

void SetTime(float seconds)
{
    seam.now = seconds;
}

void SetSeed(uint32_t seed)
{
    seam.seeded = true;
    seam.seed = seed;
    engine.random.seed(seed);
}

void QueueKeys(const std::vector<int> &keys)
{
    seam.scripted_keys = true;
    seam.keys.insert(seam.keys.end(), keys.begin(), keys.end());
}

size_t PendingKeys()
{
    return seam.keys.size();
}

void SetFrameHook(std::function<bool(int frame)> hook)
{
    seam.frame_hook = std::move(hook);
}

void FailNextInitiate()
{
    seam.fail_next_initiate = true;
}

void RecordQuads(bool on)
{
    seam.record_quads = on;
}

const std::vector<RecordedQuad> &Quads()
{
    return seam.quads;
}

void ClearQuads()
{
    seam.quads.clear();
}

void CaptureWindow(bool on)
{
    seam.capture_window = on;
}

void DrawHeadlessWindow(bool on)
{
    seam.draw_window = on;
}

void RedrawEveryFrame(bool on)
{
    seam.redraw_every_frame = on;
}

Pixels ReadTarget(HTARGET target)
{
    // Mid-scene, the target shows every step given so far.
    DrawHeldBackSteps();
    auto found = engine.textures.find(target);
    if (found == engine.textures.end() || !found->second.target)
        return Pixels();
    return ReadRenderTarget(found->second.texture, found->second.width, found->second.height);
}

Pixels ReadWindow()
{
    if (seam.capture_window)
        return seam.window;
    return DrawDryWindow();
}

static SDL_Surface *WrapPixels(const Pixels &pixels)
{
    return SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t *>(pixels.argb.data()),
                                              pixels.width, pixels.height, 32, pixels.width * 4,
                                              SDL_PIXELFORMAT_ARGB8888);
}

bool SavePNG(const Pixels &pixels, const std::string &path)
{
    if (pixels.width <= 0 || pixels.height <= 0 ||
        pixels.argb.size() != static_cast<size_t>(pixels.width) * pixels.height)
        return false;
    SDL_Surface *surface = WrapPixels(pixels);
    if (!surface)
        return false;
    bool saved = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

Pixels LoadPNG(const std::string &path)
{
    Pixels pixels;
    SDL_Surface *loaded = IMG_Load(path.c_str());
    if (!loaded)
        return pixels;
    SDL_Surface *argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    if (!argb)
        return pixels;
    pixels.width = argb->w;
    pixels.height = argb->h;
    pixels.argb.resize(static_cast<size_t>(argb->w) * argb->h);
    for (int y = 0; y < argb->h; ++y) {
        const auto *row = reinterpret_cast<const uint32_t *>(static_cast<const char *>(argb->pixels) +
                                                             static_cast<size_t>(y) * argb->pitch);
        std::copy(row, row + argb->w, pixels.argb.begin() + static_cast<size_t>(y) * argb->w);
    }
    SDL_FreeSurface(argb);
    return pixels;
}

const std::vector<std::string> &LogLines()
{
    return seam.log_lines;
}

int FrameCount()
{
    return seam.frame_count;
}

int PresentCount()
{
    return seam.presents;
}

}  // namespace hgeTesting
