// The testing seam: what a test chooses in place of the platform, and the
// read-back of targets and of the window that tests look at.
#include "hge_internal.h"

#include <SDL_image.h>

SeamState seam;

// ---------------------------------------------------------------- read-back

static hgeTesting::Pixels ReadRenderTarget(SDL_Texture *texture, int width, int height)
{
    hgeTesting::Pixels pixels;
    SDL_Renderer *renderer = engine.video.renderer;
    if (!renderer || width <= 0 || height <= 0)
        return pixels;
    SDL_Texture *previous = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, texture);
    pixels.width = width;
    pixels.height = height;
    pixels.argb.assign(static_cast<size_t>(width) * height, 0);
    SDL_Rect whole{0, 0, width, height};
    if (SDL_RenderReadPixels(renderer, &whole, SDL_PIXELFORMAT_ARGB8888, pixels.argb.data(),
                             width * 4) != 0)
        pixels = hgeTesting::Pixels();
    SDL_SetRenderTarget(renderer, previous);
    return pixels;
}

void CaptureShownWindow()
{
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(engine.video.renderer, &width, &height) == 0)
        seam.window = ReadRenderTarget(nullptr, width, height);
}

// Draws the last window scene ended (also one only noted down headless) and
// reads it back; empty pixels when there is none.
static hgeTesting::Pixels DrawDryWindow()
{
    SDL_Renderer *renderer = engine.video.renderer;
    if (!renderer || !engine.window.last_ended)
        return hgeTesting::Pixels();
    SDL_Texture *previous = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, nullptr);
    DrawWindowScene(engine.window.scenes.last, false);
    const PictureSize output = OutputSize();
    hgeTesting::Pixels pixels = ReadRenderTarget(nullptr, output.width, output.height);
    SDL_SetRenderTarget(renderer, previous);
    return pixels;
}

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
    const TextureEntry *entry = FindTexture(target);
    if (!entry || !entry->target)
        return Pixels();
    return ReadRenderTarget(entry->texture, entry->width, entry->height);
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

void SetUsableDisplayArea(int width, int height)
{
    seam.usable_area = {width, height};
}

void ResizeWindow(int width, int height)
{
    if (!engine.video.window)
        return;
    // Only a window on the screen has an edge to drag.
    ShowWindowAtStart(nullptr);
    SDL_SetWindowSize(engine.video.window, width, height);
}

void HoldKeys(const std::vector<int> &codes)
{
    seam.held_keys_set = true;
    seam.held_keys = codes;
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
