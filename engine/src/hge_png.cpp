// PNG files of pixels, through SDL_image: it writes and reads PNG without
// the engine's video started.
#include "hge_png.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <climits>

namespace hgePng {

static constexpr int BYTES_PER_PIXEL = 4;

static SDL_Surface *WrapPixels(const Pixels &pixels)
{
    return SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t *>(pixels.argb.data()),
                                              pixels.width, pixels.height, CHAR_BIT * BYTES_PER_PIXEL,
                                              pixels.width * BYTES_PER_PIXEL, SDL_PIXELFORMAT_ARGB8888);
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

}  // namespace hgePng
