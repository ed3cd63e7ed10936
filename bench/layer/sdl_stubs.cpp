// The definitions here take the place of libSDL2's for the engine linked into
// this executable (a definition in the executable wins over a shared
// library's); SDL's own inner calls are not affected. Each hands on to SDL's
// function, found with dlsym, unless the stubs are switched on.
#include "sdl_stubs.h"

#include <SDL.h>
#include <dlfcn.h>

namespace {

bool stubbed = false;
long stubbed_calls = 0;

template <typename Function>
struct ReturnOf;
template <typename Result, typename... Parameters>
struct ReturnOf<Result (*)(Parameters...)> {
    using type = Result;
};

template <typename Function>
Function Real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Returns `result` when stubbed, else calls SDL's own function of that name.
#define STAND_IN(result, name, parameters, arguments)                            \
    extern "C" DECLSPEC ReturnOf<decltype(&name)>::type SDLCALL name parameters    \
    {                                                                              \
        if (stubbed) {                                                             \
            ++stubbed_calls;                                                       \
            return result;                                                         \
        }                                                                          \
        static auto real = Real<decltype(&name)>(#name);                           \
        return real arguments;                                                     \
    }

}  // namespace

namespace bench {

void StubSdlDrawing(bool on)
{
    stubbed = on;
    stubbed_calls = 0;
}

long StubbedCalls()
{
    return stubbed_calls;
}

}  // namespace bench

#define ARGS(...) (__VA_ARGS__)

STAND_IN(0, SDL_PollEvent, (SDL_Event * event), ARGS(event))
STAND_IN(0, SDL_SetRenderTarget, (SDL_Renderer * renderer, SDL_Texture *texture),
         ARGS(renderer, texture))
STAND_IN(0, SDL_SetRenderDrawColor, (SDL_Renderer * renderer, Uint8 r, Uint8 g, Uint8 b, Uint8 a),
         ARGS(renderer, r, g, b, a))
STAND_IN(0, SDL_RenderClear, (SDL_Renderer * renderer), ARGS(renderer))
STAND_IN(0, SDL_SetRenderDrawBlendMode, (SDL_Renderer * renderer, SDL_BlendMode mode),
         ARGS(renderer, mode))
STAND_IN(0, SDL_SetTextureColorMod, (SDL_Texture * texture, Uint8 r, Uint8 g, Uint8 b),
         ARGS(texture, r, g, b))
STAND_IN(0, SDL_SetTextureAlphaMod, (SDL_Texture * texture, Uint8 a), ARGS(texture, a))
STAND_IN(0, SDL_SetTextureBlendMode, (SDL_Texture * texture, SDL_BlendMode mode),
         ARGS(texture, mode))
STAND_IN(0, SDL_SetTextureScaleMode, (SDL_Texture * texture, SDL_ScaleMode mode),
         ARGS(texture, mode))
STAND_IN(0, SDL_RenderCopy,
         (SDL_Renderer * renderer, SDL_Texture *texture, const SDL_Rect *source,
          const SDL_Rect *target),
         ARGS(renderer, texture, source, target))
STAND_IN(0, SDL_RenderCopyF,
         (SDL_Renderer * renderer, SDL_Texture *texture, const SDL_Rect *source,
          const SDL_FRect *target),
         ARGS(renderer, texture, source, target))
STAND_IN(0, SDL_RenderCopyExF,
         (SDL_Renderer * renderer, SDL_Texture *texture, const SDL_Rect *source,
          const SDL_FRect *target, const double angle, const SDL_FPoint *center,
          const SDL_RendererFlip flip),
         ARGS(renderer, texture, source, target, angle, center, flip))
STAND_IN(0, SDL_RenderGeometry,
         (SDL_Renderer * renderer, SDL_Texture *texture, const SDL_Vertex *vertices,
          int num_vertices, const int *indices, int num_indices),
         ARGS(renderer, texture, vertices, num_vertices, indices, num_indices))
STAND_IN(, SDL_RenderPresent, (SDL_Renderer * renderer), ARGS(renderer))
STAND_IN(0, SDL_RenderFillRect, (SDL_Renderer * renderer, const SDL_Rect *rect), ARGS(renderer, rect))
STAND_IN(0, SDL_RenderFillRects, (SDL_Renderer * renderer, const SDL_Rect *rects, int count),
         ARGS(renderer, rects, count))
STAND_IN(0, SDL_RenderSetClipRect, (SDL_Renderer * renderer, const SDL_Rect *rect),
         ARGS(renderer, rect))
// The window's picture read back to find what changed: left as it was, so
// nothing seems to have changed.
STAND_IN(0, SDL_RenderReadPixels,
         (SDL_Renderer * renderer, const SDL_Rect *rect, Uint32 format, void *pixels, int pitch),
         ARGS(renderer, rect, format, pixels, pitch))
