#include "bare_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace bench {

namespace {

float Snap(float position)
{
    return std::floor(position + 0.5f);
}

float ClampUnit(float coordinate)
{
    return coordinate > 0.0f ? std::min(coordinate, 1.0f) : 0.0f;
}

SDL_Color SplitColor(DWORD argb)
{
    return {static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8), static_cast<Uint8>(argb),
            static_cast<Uint8>(argb >> 24)};
}

}  // namespace

// Everything of SDL the frame holds.
struct BareSdlFrame::Sdl {
    struct Texture {
        SDL_Texture *texture = nullptr;
        int width = 0, height = 0;
        bool opaque = false;
    };
    // One quad as SDL draws it.
    struct Call {
        SDL_Texture *texture = nullptr;
        bool geometry = false;
        SDL_Rect source{};
        SDL_FRect target{};
        SDL_RendererFlip flip = SDL_FLIP_NONE;
        SDL_Color modulation{255, 255, 255, 255};
        SDL_BlendMode blend = SDL_BLENDMODE_BLEND;
        SDL_Vertex vertices[4]{};
    };

    Sdl(const RecordedFrame &frame, WindowBlit blit);
    ~Sdl();
    bool Open(const RecordedFrame &frame);
    bool LoadTextures(const RecordedFrame &frame);
    Call Prepare(const hgeQuad &quad, bool onto_window) const;
    void Issue(const Call &call);
    void ShowTarget(const Call &call);
    void FillBars();
    void DrawScenes();

    WindowBlit blit;
    bool ready = false;
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *target = nullptr;
    SDL_Texture *staging = nullptr;
    HTARGET target_handle = 0;
    int target_width = 0, target_height = 0;
    // Where the target goes on the window: the largest whole multiple that
    // fits, centred.
    SDL_Rect picture{};
    int window_width = 0, window_height = 0;
    std::map<HTEXTURE, Texture> textures;
    std::vector<Call> target_calls;
    std::vector<Call> window_calls;
};

BareSdlFrame::Sdl::Sdl(const RecordedFrame &frame, WindowBlit blit) : blit(blit)
{
    if (!Open(frame) || !LoadTextures(frame))
        return;
    for (const hgeTesting::RecordedQuad &recorded : frame.quads) {
        if (recorded.target == frame.target)
            target_calls.push_back(Prepare(recorded.quad, false));
        else if (recorded.target == 0)
            window_calls.push_back(Prepare(recorded.quad, true));
    }
    ready = true;
}

BareSdlFrame::Sdl::~Sdl()
{
    for (auto &[handle, texture] : textures)
        SDL_DestroyTexture(texture.texture);
    if (staging)
        SDL_DestroyTexture(staging);
    if (target)
        SDL_DestroyTexture(target);
    if (renderer)
        SDL_DestroyRenderer(renderer);
    if (window)
        SDL_DestroyWindow(window);
    SDL_Quit();
}

bool BareSdlFrame::Sdl::Open(const RecordedFrame &frame)
{
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    window = SDL_CreateWindow("bare SDL", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                              frame.window_width, frame.window_height, SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window)
        return false;
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_TARGETTEXTURE);
    if (!renderer)
        return false;
    target_handle = frame.target;
    target_width = frame.target_width;
    target_height = frame.target_height;
    window_width = frame.window_width;
    window_height = frame.window_height;
    const int multiple = std::min(window_width / target_width, window_height / target_height);
    picture = {(window_width - multiple * target_width) / 2, (window_height - multiple * target_height) / 2,
               multiple * target_width, multiple * target_height};
    target = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                               target_width, target_height);
    if (!target)
        return false;
    SDL_SetTextureScaleMode(target, SDL_ScaleModeNearest);
    SDL_SetTextureBlendMode(target, SDL_BLENDMODE_NONE);
    if (blit == WindowBlit::Staging) {
        staging = SDL_CreateTexture(renderer, SDL_GetWindowPixelFormat(window),
                                    SDL_TEXTUREACCESS_TARGET, target_width, target_height);
        if (!staging)
            return false;
        SDL_SetTextureScaleMode(staging, SDL_ScaleModeNearest);
        SDL_SetTextureBlendMode(staging, SDL_BLENDMODE_NONE);
    }
    return true;
}

// Read as the engine's tests read pictures; only the textures made of them
// are SDL's own.
bool BareSdlFrame::Sdl::LoadTextures(const RecordedFrame &frame)
{
    for (const TextureFile &file : frame.textures) {
        const hgeTesting::Pixels pixels = hgeTesting::LoadPNG(file.file);
        if (pixels.width == 0)
            return false;
        Texture texture;
        texture.width = pixels.width;
        texture.height = pixels.height;
        texture.opaque = std::all_of(pixels.argb.begin(), pixels.argb.end(),
                                     [](uint32_t argb) { return (argb >> 24) == 0xFF; });
        texture.texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                            SDL_TEXTUREACCESS_STATIC, pixels.width, pixels.height);
        if (!texture.texture)
            return false;
        SDL_UpdateTexture(texture.texture, nullptr, pixels.argb.data(), pixels.width * 4);
        SDL_SetTextureScaleMode(texture.texture, SDL_ScaleModeNearest);
        textures[file.texture] = texture;
    }
    return true;
}

BareSdlFrame::Sdl::Call BareSdlFrame::Sdl::Prepare(const hgeQuad &quad, bool onto_window) const
{
    Call call;
    Texture texture;
    if (quad.tex == target_handle) {
        texture = {target, target_width, target_height, false};
    } else if (quad.tex) {
        auto found = textures.find(quad.tex);
        if (found != textures.end())
            texture = found->second;
    }
    call.texture = texture.texture;

    float x[4], y[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = Snap(quad.v[i].x);
        y[i] = Snap(quad.v[i].y);
    }
    const hgeVertex *v = quad.v;
    const bool one_colour = v[0].col == v[1].col && v[0].col == v[2].col && v[0].col == v[3].col;
    const bool axis_aligned = y[0] == y[1] && y[3] == y[2] && x[0] == x[3] && x[1] == x[2] &&
                              v[0].ty == v[1].ty && v[3].ty == v[2].ty && v[0].tx == v[3].tx &&
                              v[1].tx == v[2].tx;
    call.modulation = SplitColor(v[0].col);
    if (quad.blend & BLEND_COLORADD)
        call.modulation.r = call.modulation.g = call.modulation.b = 255;
    call.blend = (quad.blend & BLEND_ALPHABLEND) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD;
    if (onto_window && quad.tex == target_handle) {
        call.blend = SDL_BLENDMODE_NONE;
        call.source = {0, 0, target_width, target_height};
        call.target = {static_cast<float>(picture.x), static_cast<float>(picture.y),
                       static_cast<float>(picture.w), static_cast<float>(picture.h)};
        call.texture = target;
        return call;
    }

    if (texture.texture && one_colour && axis_aligned) {
        const float u0 = ClampUnit(v[0].tx), u1 = ClampUnit(v[1].tx);
        const float t0 = ClampUnit(v[0].ty), t1 = ClampUnit(v[3].ty);
        const int left = static_cast<int>(std::lround(std::min(u0, u1) * texture.width));
        const int right = static_cast<int>(std::lround(std::max(u0, u1) * texture.width));
        const int top = static_cast<int>(std::lround(std::min(t0, t1) * texture.height));
        const int bottom = static_cast<int>(std::lround(std::max(t0, t1) * texture.height));
        call.source = {left, top, right - left, bottom - top};
        call.target = {std::min(x[0], x[1]), std::min(y[0], y[3]), std::fabs(x[1] - x[0]),
                       std::fabs(y[3] - y[0])};
        int flip = 0;
        if ((u1 < u0) != (x[1] < x[0]))
            flip |= SDL_FLIP_HORIZONTAL;
        if ((t1 < t0) != (y[3] < y[0]))
            flip |= SDL_FLIP_VERTICAL;
        call.flip = static_cast<SDL_RendererFlip>(flip);
        if (call.blend == SDL_BLENDMODE_BLEND && texture.opaque && call.modulation.a == 255)
            call.blend = SDL_BLENDMODE_NONE;
        return call;
    }
    call.geometry = true;
    for (int i = 0; i < 4; ++i) {
        SDL_Color c = SplitColor(v[i].col);
        if (texture.texture && (quad.blend & BLEND_COLORADD))
            c.r = c.g = c.b = 255;
        call.vertices[i] = {{x[i], y[i]}, c, {ClampUnit(v[i].tx), ClampUnit(v[i].ty)}};
    }
    return call;
}

void BareSdlFrame::Sdl::Issue(const Call &call)
{
    static const int corners_of_triangles[] = {0, 1, 2, 0, 2, 3};
    if (call.geometry) {
        if (call.texture)
            SDL_SetTextureBlendMode(call.texture, call.blend);
        else
            SDL_SetRenderDrawBlendMode(renderer, call.blend);
        SDL_RenderGeometry(renderer, call.texture, call.vertices, 4, corners_of_triangles, 6);
        return;
    }
    SDL_SetTextureColorMod(call.texture, call.modulation.r, call.modulation.g, call.modulation.b);
    SDL_SetTextureAlphaMod(call.texture, call.modulation.a);
    SDL_SetTextureBlendMode(call.texture, call.blend);
    if (call.flip)
        SDL_RenderCopyExF(renderer, call.texture, &call.source, &call.target, 0.0, nullptr, call.flip);
    else
        SDL_RenderCopyF(renderer, call.texture, &call.source, &call.target);
}

void BareSdlFrame::Sdl::ShowTarget(const Call &call)
{
    if (blit == WindowBlit::Plain) {
        Issue(call);
        return;
    }
    SDL_SetRenderTarget(renderer, staging);
    SDL_RenderCopy(renderer, target, &call.source, &call.source);
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_RenderCopyF(renderer, staging, &call.source, &call.target);
}

// Black around the picture, and only there: the picture covers the rest.
void BareSdlFrame::Sdl::FillBars()
{
    const int right = picture.x + picture.w, bottom = picture.y + picture.h;
    const SDL_Rect bars[4] = {{0, 0, window_width, picture.y},
                              {0, bottom, window_width, window_height - bottom},
                              {0, picture.y, picture.x, picture.h},
                              {right, picture.y, window_width - right, picture.h}};
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    for (const SDL_Rect &bar : bars) {
        if (bar.w > 0 && bar.h > 0)
            SDL_RenderFillRect(renderer, &bar);
    }
}

void BareSdlFrame::Sdl::DrawScenes()
{
    SDL_SetRenderTarget(renderer, target);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
    for (const Call &call : target_calls)
        Issue(call);
    SDL_SetRenderTarget(renderer, nullptr);
    // Plain code clears the whole window; the engine's way fills the bars.
    if (blit == WindowBlit::Plain) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
        SDL_RenderClear(renderer);
    } else {
        FillBars();
    }
    for (const Call &call : window_calls) {
        if (call.texture == target)
            ShowTarget(call);
        else
            Issue(call);
    }
}

BareSdlFrame::BareSdlFrame(const RecordedFrame &frame, WindowBlit blit)
    : sdl(std::make_unique<Sdl>(frame, blit))
{
}

BareSdlFrame::~BareSdlFrame() = default;

bool BareSdlFrame::Ready() const
{
    return sdl->ready;
}

int BareSdlFrame::Calls() const
{
    return static_cast<int>(sdl->target_calls.size() + sdl->window_calls.size());
}

void BareSdlFrame::Draw()
{
    SDL_Renderer *renderer = sdl->renderer;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    sdl->DrawScenes();
    SDL_RenderPresent(renderer);
}

hgeTesting::Pixels BareSdlFrame::DrawAndRead()
{
    SDL_Renderer *renderer = sdl->renderer;
    sdl->DrawScenes();
    hgeTesting::Pixels pixels;
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(renderer, &width, &height) != 0)
        return pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.argb.assign(static_cast<size_t>(width) * height, 0);
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.argb.data(),
                             width * 4) != 0)
        pixels = hgeTesting::Pixels();
    SDL_RenderPresent(renderer);
    return pixels;
}

}  // namespace bench
