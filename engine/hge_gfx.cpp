// Textures, render targets, scenes and quads over SDL's renderer.
//
// SDL 2.26's software SDL_RenderGeometry repeats a texel column on textures
// whose width is not a power of two and shifts texels when the four vertex
// colours differ. An axis-aligned textured quad of one colour, which is every
// sprite and letter the game draws, therefore goes through SDL_RenderCopyF
// from a whole-texel source rectangle; only other quads use RenderGeometry.
#include "hge_internal.h"

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

struct Rgba {
    Uint8 r, g, b, a;
};

static Rgba SplitColor(DWORD argb)
{
    return {static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
            static_cast<Uint8>(argb), static_cast<Uint8>(argb >> 24)};
}

static TextureEntry *FindTexture(uint32_t handle)
{
    if (handle == engine.found_handle && engine.found_entry)
        return engine.found_entry;
    auto found = engine.textures.find(handle);
    if (found == engine.textures.end())
        return nullptr;
    engine.found_handle = handle;
    engine.found_entry = &found->second;
    return engine.found_entry;
}

// Called before an entry leaves the table.
static void ForgetFoundTexture()
{
    engine.found_handle = 0;
    engine.found_entry = nullptr;
}

// ---------------------------------------------------------------- textures

static uint32_t AddTexture(const TextureEntry &entry)
{
    NoteResourcesChanged();
    uint32_t handle = engine.next_handle++;
    TextureEntry &added = engine.textures[handle];
    added = entry;
    if (added.target)
        added.picture = engine.next_picture++;
    return handle;
}

static bool AllOpaque(const SDL_Surface *argb)
{
    for (int y = 0; y < argb->h; ++y) {
        const auto *row = reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(argb->pixels) +
                                                           static_cast<size_t>(y) * argb->pitch);
        for (int x = 0; x < argb->w; ++x) {
            if ((row[x] >> 24) != 0xFF)
                return false;
        }
    }
    return true;
}

static SDL_Texture *TextureFromSurface(SDL_Surface *loaded, bool *opaque, std::string *why)
{
    SDL_Surface *argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) {
        *why = SDL_GetError();
        return nullptr;
    }
    *opaque = AllOpaque(argb);
    SDL_Texture *texture = SDL_CreateTexture(engine.renderer, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_STATIC, argb->w, argb->h);
    if (!texture || SDL_UpdateTexture(texture, nullptr, argb->pixels, argb->pitch) != 0) {
        *why = SDL_GetError();
        if (texture)
            SDL_DestroyTexture(texture);
        texture = nullptr;
    }
    SDL_FreeSurface(argb);
    return texture;
}

// PNG only: the other readers SDL_image may carry are not needed here and
// would widen what a bad file can reach.
static SDL_Texture *DecodeImage(const void *data, DWORD size, bool *opaque, std::string *why)
{
    SDL_RWops *stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!stream) {
        *why = SDL_GetError();
        return nullptr;
    }
    const bool png = IMG_isPNG(stream);
    SDL_Surface *loaded = png ? IMG_LoadPNG_RW(stream) : nullptr;
    if (!loaded)
        *why = png ? IMG_GetError() : "not a PNG image";
    SDL_RWclose(stream);
    if (!loaded)
        return nullptr;
    SDL_Texture *texture = TextureFromSurface(loaded, opaque, why);
    SDL_FreeSurface(loaded);
    return texture;
}

HTEXTURE HGE::Texture_Load(const char *filename, DWORD size, bool /*mipmap*/)
{
    const char *shown = size ? "(image in memory)" : (filename ? filename : "(null)");
    if (!engine.renderer) {
        System_Log("Can't load texture %s: the engine is not initiated", shown);
        return 0;
    }
    std::string why;
    SDL_Texture *texture = nullptr;
    bool opaque = false;
    if (size) {
        texture = filename ? DecodeImage(filename, size, &opaque, &why) : nullptr;
        if (!filename)
            why = "no data";
    } else {
        DWORD length = 0;
        char *block = ReadEngineFile(filename, &length, &why);
        if (block)
            texture = DecodeImage(block, length, &opaque, &why);
        std::free(block);
    }
    if (!texture) {
        System_Log("Can't load texture %s: %s", shown, why.c_str());
        return 0;
    }
    TextureEntry entry;
    entry.texture = texture;
    entry.opaque = opaque;
    SDL_QueryTexture(texture, nullptr, nullptr, &entry.width, &entry.height);
    return AddTexture(entry);
}

void HGE::Texture_Free(HTEXTURE tex)
{
    TextureEntry *entry = FindTexture(tex);
    // A target's texture goes with its target.
    if (!entry || entry->target)
        return;
    NoteResourcesChanged();
    SDL_DestroyTexture(entry->texture);
    ForgetFoundTexture();
    engine.textures.erase(tex);
}

int HGE::Texture_GetWidth(HTEXTURE tex, bool /*original*/)
{
    TextureEntry *entry = FindTexture(tex);
    return entry ? entry->width : 0;
}

int HGE::Texture_GetHeight(HTEXTURE tex, bool /*original*/)
{
    TextureEntry *entry = FindTexture(tex);
    return entry ? entry->height : 0;
}

void FreeAllTextures()
{
    if (engine.renderer)
        SDL_SetRenderTarget(engine.renderer, nullptr);
    engine.in_scene = false;
    for (auto &[handle, entry] : engine.textures)
        SDL_DestroyTexture(entry.texture);
    ForgetFoundTexture();
    engine.textures.clear();
    ++engine.resources;
    if (engine.staging)
        SDL_DestroyTexture(engine.staging);
    engine.staging = nullptr;
    engine.staging_tried = false;
}

// ---------------------------------------------------------------- targets

HTARGET HGE::Target_Create(int width, int height, bool /*zbuffer*/)
{
    if (!engine.renderer) {
        System_Log("Can't create a %dx%d target: the engine is not initiated", width, height);
        return 0;
    }
    SDL_Texture *texture = SDL_CreateTexture(engine.renderer, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_TARGET, width, height);
    if (!texture) {
        System_Log("Can't create a %dx%d target: %s", width, height, SDL_GetError());
        return 0;
    }
    TextureEntry entry;
    entry.texture = texture;
    entry.width = width;
    entry.height = height;
    entry.target = true;
    HTARGET target = AddTexture(entry);
    // A new target starts transparent, not with whatever memory held.
    SDL_Texture *previous = SDL_GetRenderTarget(engine.renderer);
    SDL_SetRenderTarget(engine.renderer, texture);
    SDL_SetRenderDrawColor(engine.renderer, 0, 0, 0, 0);
    SDL_RenderClear(engine.renderer);
    SDL_SetRenderTarget(engine.renderer, previous);
    return target;
}

void HGE::Target_Free(HTARGET target)
{
    TextureEntry *entry = FindTexture(target);
    if (!entry || !entry->target)
        return;
    // Its own scene ends unfinished; another target's is drawn while this
    // one is still there to be drawn from.
    if (engine.in_scene && engine.scene_target == target) {
        SDL_SetRenderTarget(engine.renderer, nullptr);
        engine.in_scene = false;
    }
    NoteResourcesChanged();
    SDL_DestroyTexture(entry->texture);
    ForgetFoundTexture();
    engine.textures.erase(target);
}

HTEXTURE HGE::Target_GetTexture(HTARGET target)
{
    TextureEntry *entry = FindTexture(target);
    return entry && entry->target ? target : 0;
}

// ---------------------------------------------------------------- read-back

hgeTesting::Pixels ReadRenderTarget(SDL_Texture *texture, int width, int height)
{
    hgeTesting::Pixels pixels;
    if (!engine.renderer || width <= 0 || height <= 0)
        return pixels;
    SDL_Texture *previous = SDL_GetRenderTarget(engine.renderer);
    SDL_SetRenderTarget(engine.renderer, texture);
    pixels.width = width;
    pixels.height = height;
    pixels.argb.assign(static_cast<size_t>(width) * height, 0);
    SDL_Rect whole{0, 0, width, height};
    if (SDL_RenderReadPixels(engine.renderer, &whole, SDL_PIXELFORMAT_ARGB8888,
                             pixels.argb.data(), width * 4) != 0)
        pixels = hgeTesting::Pixels();
    SDL_SetRenderTarget(engine.renderer, previous);
    return pixels;
}

static void CaptureWindow()
{
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(engine.renderer, &width, &height) == 0)
        seam.window = ReadRenderTarget(nullptr, width, height);
}

// ---------------------------------------------------------------- scenes

static void CountShownFrame()
{
    double now = EngineSeconds();
    ++engine.fps_frames;
    double elapsed = now - engine.fps_since;
    if (elapsed >= 1.0) {
        engine.fps_last = static_cast<int>(std::lround(engine.fps_frames / elapsed));
        engine.fps_frames = 0;
        engine.fps_since = now;
    }
}

static void ClearScene(DWORD color)
{
    Rgba c = SplitColor(color);
    SDL_SetRenderDrawColor(engine.renderer, c.r, c.g, c.b, c.a);
    SDL_RenderClear(engine.renderer);
}

static void DrawQuad(const hgeQuad &drawn);

static void DrawOneStep(const DrawStep &step)
{
    if (step.clear)
        ClearScene(step.color);
    else
        DrawQuad(step.quad);
}

static void DrawSteps(const std::vector<DrawStep> &steps)
{
    for (const DrawStep &step : steps)
        DrawOneStep(step);
}

static_assert(sizeof(hgeQuad) == 4 * sizeof(hgeVertex) + sizeof(HTEXTURE) + sizeof(int),
              "quads are compared byte for byte");

static bool SameStep(const DrawStep &a, const DrawStep &b)
{
    return a.clear == b.clear && a.color == b.color && a.source_picture == b.source_picture &&
           std::memcmp(&a.quad, &b.quad, sizeof(hgeQuad)) == 0;
}

// Only a scene that starts by clearing makes a picture of its steps alone;
// any other is drawn over whatever was there.
static bool StartsWithClear(const std::vector<DrawStep> &steps)
{
    return !steps.empty() && steps.front().clear;
}

// A target still holds the picture its last scene drew: drawing a scene with
// the same steps again would change no pixel.
static bool HoldsPictureOfLastScene(const TextureEntry &target)
{
    return StartsWithClear(target.scenes.last) && target.last_scene_resources == engine.resources &&
           !seam.redraw_every_frame;
}

// From the first step that differs from the last scene on, a scene's steps
// are kept; a target scene that was held back draws what it held back then.
static void StopRepeating()
{
    const std::vector<DrawStep> &last = engine.scene_record->last;
    std::vector<DrawStep> &steps = engine.scene_record->next;
    engine.scene_differs = true;
    steps.assign(last.begin(), last.begin() + static_cast<ptrdiff_t>(engine.scene_matched));
    if (engine.scene_held_back) {
        engine.scene_held_back = false;
        DrawSteps(steps);
    }
}

// Where the scene's next step is to be written: straight into the kept steps
// once the scene differs, else aside, to be compared.
static DrawStep &NewStep()
{
    if (engine.scene_differs)
        return engine.scene_record->next.emplace_back();
    return engine.step_to_compare;
}

// Takes the step written where NewStep said.
static void AddStep(DrawStep &step)
{
    if (!engine.scene_differs) {
        const std::vector<DrawStep> &last = engine.scene_record->last;
        if (engine.scene_matched < last.size() && SameStep(last[engine.scene_matched], step)) {
            ++engine.scene_matched;
            return;
        }
        StopRepeating();
        engine.scene_record->next.push_back(step);
    }
    if (engine.scene_target)
        DrawOneStep(step);
}

void DrawHeldBackSteps()
{
    if (engine.in_scene && engine.scene_held_back)
        StopRepeating();
}

void NoteResourcesChanged()
{
    // What is held back is drawn with the textures and sampling it was given with.
    DrawHeldBackSteps();
    ++engine.resources;
}

// The scene just ended has the very steps of the last one.
static bool SceneRepeats()
{
    return !engine.scene_differs && engine.scene_matched == engine.scene_record->last.size();
}

// The steps of the scene just ended.
static const std::vector<DrawStep> &SceneSteps()
{
    return SceneRepeats() ? engine.scene_record->last : engine.scene_record->next;
}

static void KeepSceneSteps()
{
    if (!SceneRepeats())
        engine.scene_record->last.swap(engine.scene_record->next);
}

// A target drawn again with the same steps holds the same picture, which
// was not even drawn again; any other scene gives it a new picture number.
static void NoteTargetPicture(TextureEntry &target)
{
    if (SceneRepeats() && engine.scene_held_back)
        return;
    target.picture = engine.next_picture++;
    KeepSceneSteps();
    target.last_scene_resources = engine.resources;
}

static void EndTargetScene()
{
    // A scene that ended as a shorter copy of the last one is a new picture.
    if (engine.scene_held_back && !SceneRepeats())
        StopRepeating();
    if (TextureEntry *target = FindTexture(engine.scene_target))
        NoteTargetPicture(*target);
    SDL_SetRenderTarget(engine.renderer, nullptr);
}

static void NoteWindowScene(bool shown)
{
    KeepSceneSteps();
    engine.window_last_ended = true;
    engine.window_last_shown = shown;
    engine.window_last_resources = engine.resources;
}

// A menu at rest draws the same window scene from the same target picture
// frame after frame: the window shows it already.
static bool WindowShowsScene()
{
    return SceneRepeats() && engine.window_last_shown && !engine.force_present &&
           !seam.redraw_every_frame && engine.window_last_resources == engine.resources &&
           StartsWithClear(engine.window_scenes.last);
}

static void ShowWindowScene()
{
    DrawSteps(SceneSteps());
    // Read back before presenting: afterwards the back buffer is undefined.
    if (seam.capture_window)
        CaptureWindow();
    SDL_RenderPresent(engine.renderer);
    ++seam.presents;
    engine.frame_presented = true;
    engine.force_present = false;
    NoteWindowScene(true);
}

bool HGE::Gfx_BeginScene(HTARGET target)
{
    if (!engine.renderer) {
        System_Log("Gfx_BeginScene: the engine is not initiated");
        return false;
    }
    if (engine.in_scene) {
        System_Log("Gfx_BeginScene: a scene is already begun");
        return false;
    }
    TextureEntry *entry = nullptr;
    if (target) {
        entry = FindTexture(target);
        if (!entry || !entry->target) {
            System_Log("Gfx_BeginScene: no render target %u", target);
            return false;
        }
    }
    if (SDL_SetRenderTarget(engine.renderer, entry ? entry->texture : nullptr) != 0) {
        System_Log("Gfx_BeginScene: %s", SDL_GetError());
        return false;
    }
    engine.in_scene = true;
    engine.scene_target = target;
    SDL_RenderGetViewport(engine.renderer, &engine.scene_area);
    // Nobody can see a headless window unless a test reads it back.
    engine.scene_dry = !target && seam.headless && !seam.capture_window && !seam.draw_window;
    engine.scene_record = entry ? &entry->scenes : &engine.window_scenes;
    engine.scene_record->next.clear();
    engine.scene_matched = 0;
    // A target's drawing is held back while the scene repeats its last one,
    // and then not done at all; other target scenes are drawn as they come.
    // The window's scene is always drawn when it ends.
    engine.scene_held_back = entry && HoldsPictureOfLastScene(*entry);
    engine.scene_differs = entry && !engine.scene_held_back;
    return true;
}

void HGE::Gfx_EndScene()
{
    if (!engine.in_scene)
        return;
    if (engine.scene_target) {
        EndTargetScene();
        engine.in_scene = false;
        return;
    }
    engine.in_scene = false;
    if (engine.scene_dry)
        NoteWindowScene(false);
    else if (!WindowShowsScene())
        ShowWindowScene();
    CountShownFrame();
}

void HGE::Gfx_Clear(DWORD color)
{
    if (!engine.in_scene)
        return;
    DrawStep &step = NewStep();
    step = {true, color, {}, 0};
    AddStep(step);
}

// ---------------------------------------------------------------- quads

// Whole pixels, rounded the same way on every renderer so that a sprite at
// x.5 never lands differently on two machines.
static float Snap(float position)
{
    return std::floor(position + 0.5f);
}

static float ClampUnit(float coordinate)
{
    if (!(coordinate > 0.0f))
        return 0.0f;
    return std::min(coordinate, 1.0f);
}

static SDL_BlendMode BlendModeOf(const hgeQuad &quad, const TextureEntry *texture)
{
    // A target holds colours already blended against transparency: blending
    // them again onto the window would darken every soft edge.
    if (texture && texture->target && engine.scene_target == 0)
        return SDL_BLENDMODE_NONE;
    return (quad.blend & BLEND_ALPHABLEND) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD;
}

static void PrepareTexture(const TextureEntry &texture, SDL_BlendMode blend, Rgba modulation)
{
    SDL_SetTextureColorMod(texture.texture, modulation.r, modulation.g, modulation.b);
    SDL_SetTextureAlphaMod(texture.texture, modulation.a);
    SDL_SetTextureBlendMode(texture.texture, blend);
    SDL_SetTextureScaleMode(texture.texture,
                            engine.texture_filter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
}

static bool IsAxisAlignedOneColor(const hgeQuad &quad, const float x[4], const float y[4])
{
    const hgeVertex *v = quad.v;
    return y[0] == y[1] && y[3] == y[2] && x[0] == x[3] && x[1] == x[2] &&
           v[0].ty == v[1].ty && v[3].ty == v[2].ty && v[0].tx == v[3].tx &&
           v[1].tx == v[2].tx && v[0].col == v[1].col && v[0].col == v[2].col &&
           v[0].col == v[3].col;
}

// One axis of a copied quad: the whole-texel source span and the destination
// span, with whether the two run in opposite directions.
struct Span {
    int source_start, source_length;
    float start, length;
    bool mirrored;
};

static Span SpanOf(float t0, float t1, int texels, float p0, float p1)
{
    Span span{};
    t0 = ClampUnit(t0);
    t1 = ClampUnit(t1);
    span.mirrored = (t1 < t0) != (p1 < p0);
    int first = static_cast<int>(std::lround(std::min(t0, t1) * texels));
    int last = static_cast<int>(std::lround(std::max(t0, t1) * texels));
    span.source_start = first;
    span.source_length = last - first;
    span.start = std::min(p0, p1);
    span.length = std::fabs(p1 - p0);
    return span;
}

// The software renderer stretches fastest between surfaces of one format,
// and the window's has no alpha while a target's has. A finished target
// shown enlarged on the window is therefore first copied as it is into a
// staging texture of the window's format, then stretched from there: the
// same pixels for about half the CPU.
static SDL_Texture *StagingFor(const TextureEntry &texture)
{
    if (engine.staging &&
        (engine.staging_width < texture.width || engine.staging_height < texture.height)) {
        SDL_DestroyTexture(engine.staging);
        engine.staging = nullptr;
        engine.staging_tried = false;
    }
    if (!engine.staging_tried) {
        engine.staging_tried = true;
        SDL_RendererInfo info;
        Uint32 format = SDL_GetWindowPixelFormat(engine.window);
        if (SDL_GetRendererInfo(engine.renderer, &info) != 0 || SDL_strcmp(info.name, "software") ||
            format == SDL_PIXELFORMAT_UNKNOWN || SDL_ISPIXELFORMAT_ALPHA(format))
            return nullptr;
        engine.staging = SDL_CreateTexture(engine.renderer, format, SDL_TEXTUREACCESS_TARGET,
                                           texture.width, texture.height);
        engine.staging_width = texture.width;
        engine.staging_height = texture.height;
    }
    return engine.staging;
}

static bool ShowTargetThroughStaging(const TextureEntry &texture, Rgba modulation,
                                     const SDL_Rect &source, const SDL_FRect &target)
{
    bool plain = modulation.r == 255 && modulation.g == 255 && modulation.b == 255;
    bool enlarged = target.w > source.w || target.h > source.h;
    if (!texture.target || engine.scene_target != 0 || !plain || !enlarged)
        return false;
    SDL_Texture *staging = StagingFor(texture);
    if (!staging)
        return false;
    // Only the source rectangle is copied; the rest of the staging texture
    // is never read.
    SDL_SetRenderTarget(engine.renderer, staging);
    SDL_RenderCopy(engine.renderer, texture.texture, &source, &source);
    SDL_SetRenderTarget(engine.renderer, nullptr);
    SDL_SetTextureBlendMode(staging, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(staging, engine.texture_filter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    SDL_RenderCopyF(engine.renderer, staging, &source, &target);
    return true;
}

// SDL's software renderer stretches through a scratch surface as large as
// the whole destination, so a huge quad would cost gigabytes. An axis is
// therefore cut to the target first: whole texels outside it are dropped,
// which keeps the mapping of the others exactly; texels larger than the
// target itself are drawn one by one, each cut to the target (a texel is one
// colour, so nothing shifts). Returns the number of pieces, at most three.
static int CutSpan(const Span &span, float limit, Span (&pieces)[3])
{
    if (span.start >= 0.0f && span.start + span.length <= limit) {
        pieces[0] = span;
        return 1;
    }
    // A corner that is not a number, or infinitely far, places nothing.
    if (!std::isfinite(span.start + span.length))
        return 0;
    const float per_texel = span.length / static_cast<float>(span.source_length);
    const float end = span.start + span.length;
    const int before = span.start < 0.0f ? static_cast<int>(-span.start / per_texel) : 0;
    const int after = end > limit ? static_cast<int>((end - limit) / per_texel) : 0;
    if (before + after >= span.source_length)
        return 0;
    Span kept = span;
    kept.start += static_cast<float>(before) * per_texel;
    kept.length -= static_cast<float>(before + after) * per_texel;
    kept.source_length -= before + after;
    // A mirrored span reads its texels from the other end.
    kept.source_start += span.mirrored ? after : before;
    if (per_texel <= limit || kept.source_length > 3) {
        pieces[0] = kept;
        return 1;
    }
    int count = 0;
    for (int i = 0; i < kept.source_length; ++i) {
        const float from = std::max(kept.start + static_cast<float>(i) * per_texel, 0.0f);
        const float to = std::min(kept.start + static_cast<float>(i + 1) * per_texel, limit);
        if (to <= from)
            continue;
        const int texel = kept.mirrored ? kept.source_start + kept.source_length - 1 - i
                                        : kept.source_start + i;
        pieces[count++] = Span{texel, 1, from, to - from, false};
    }
    return count;
}

static void CopyQuad(const hgeQuad &quad, const TextureEntry &texture, const float x[4],
                     const float y[4], const SDL_Rect &viewport)
{
    Span across = SpanOf(quad.v[0].tx, quad.v[1].tx, texture.width, x[0], x[1]);
    Span down = SpanOf(quad.v[0].ty, quad.v[3].ty, texture.height, y[0], y[3]);
    if (across.source_length <= 0 || down.source_length <= 0 || across.length <= 0.0f ||
        down.length <= 0.0f)
        return;
    Span columns[3], rows[3];
    const int column_count = CutSpan(across, static_cast<float>(viewport.w), columns);
    const int row_count = CutSpan(down, static_cast<float>(viewport.h), rows);
    Rgba modulation = SplitColor(quad.v[0].col);
    if (quad.blend & BLEND_COLORADD)
        modulation.r = modulation.g = modulation.b = 255;
    SDL_BlendMode blend = BlendModeOf(quad, &texture);
    // Blending an opaque texel gives the texel itself: copying is the same
    // picture without the per-pixel work (the sky covers the whole screen).
    if (blend == SDL_BLENDMODE_BLEND && texture.opaque && modulation.a == 255)
        blend = SDL_BLENDMODE_NONE;
    PrepareTexture(texture, blend, modulation);
    for (int c = 0; c < column_count; ++c) {
        for (int r = 0; r < row_count; ++r) {
            const Span &column = columns[c];
            const Span &row = rows[r];
            SDL_Rect source{column.source_start, row.source_start, column.source_length,
                            row.source_length};
            SDL_FRect target{column.start, row.start, column.length, row.length};
            int flip = (column.mirrored ? SDL_FLIP_HORIZONTAL : 0) |
                       (row.mirrored ? SDL_FLIP_VERTICAL : 0);
            if (!flip && ShowTargetThroughStaging(texture, modulation, source, target))
                continue;
            if (flip)
                SDL_RenderCopyExF(engine.renderer, texture.texture, &source, &target, 0.0,
                                  nullptr, static_cast<SDL_RendererFlip>(flip));
            else
                SDL_RenderCopyF(engine.renderer, texture.texture, &source, &target);
        }
    }
}

// SDL's software rasteriser works in int and overflows far outside its
// target, so a quad reaching beyond a band around the target is cut to the
// band first, triangle by triangle; the cut edges lie outside what is seen.
constexpr float GUARD_BAND = 1024.0f;

static float Along(const SDL_Vertex &v, int axis)
{
    return axis == 0 ? v.position.x : v.position.y;
}

static SDL_Vertex Between(const SDL_Vertex &a, const SDL_Vertex &b, float t)
{
    auto mix = [t](float p, float q) { return p + (q - p) * t; };
    auto mix8 = [&](Uint8 p, Uint8 q) { return static_cast<Uint8>(std::lround(mix(p, q))); };
    return SDL_Vertex{{mix(a.position.x, b.position.x), mix(a.position.y, b.position.y)},
                      {mix8(a.color.r, b.color.r), mix8(a.color.g, b.color.g),
                       mix8(a.color.b, b.color.b), mix8(a.color.a, b.color.a)},
                      {mix(a.tex_coord.x, b.tex_coord.x), mix(a.tex_coord.y, b.tex_coord.y)}};
}

// Keeps the part of a convex polygon on the inner side of one edge of the band.
static int CutAtEdge(const SDL_Vertex *in, int count, SDL_Vertex *out, int axis, float sign,
                     float limit)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const SDL_Vertex &a = in[i];
        const SDL_Vertex &b = in[(i + 1) % count];
        const float da = sign * (Along(a, axis) - limit);
        const float db = sign * (Along(b, axis) - limit);
        if (da >= 0.0f)
            out[kept++] = a;
        if ((da >= 0.0f) != (db >= 0.0f))
            out[kept++] = Between(a, b, da / (da - db));
    }
    return kept;
}

static bool WithinBand(const SDL_Vertex (&corners)[4], const SDL_Rect &viewport)
{
    for (const SDL_Vertex &v : corners) {
        if (!(v.position.x >= -GUARD_BAND && v.position.x <= viewport.w + GUARD_BAND &&
              v.position.y >= -GUARD_BAND && v.position.y <= viewport.h + GUARD_BAND))
            return false;
    }
    return true;
}

// Corners that are all numbers and a box that meets the target.
static bool Shows(const SDL_Vertex (&corners)[4], const SDL_Rect &viewport)
{
    float left = corners[0].position.x, right = left;
    float top = corners[0].position.y, bottom = top;
    for (const SDL_Vertex &v : corners) {
        if (!std::isfinite(v.position.x) || !std::isfinite(v.position.y))
            return false;
        left = std::min(left, v.position.x);
        right = std::max(right, v.position.x);
        top = std::min(top, v.position.y);
        bottom = std::max(bottom, v.position.y);
    }
    return right > 0.0f && left < viewport.w && bottom > 0.0f && top < viewport.h;
}

static void RenderGeometryInBand(SDL_Texture *texture, const SDL_Vertex (&corners)[4],
                                 const SDL_Rect &viewport)
{
    static const int corners_of_triangles[] = {0, 1, 2, 0, 2, 3};
    if (!Shows(corners, viewport))
        return;
    if (WithinBand(corners, viewport)) {
        SDL_RenderGeometry(engine.renderer, texture, corners, 4, corners_of_triangles, 6);
        return;
    }
    // A triangle cut by four edges has at most seven corners.
    SDL_Vertex vertices[2 * 7];
    int indices[2 * 5 * 3];
    int vertex_count = 0, index_count = 0;
    for (int triangle = 0; triangle < 2; ++triangle) {
        SDL_Vertex polygon[8], cut[8];
        int count = 3;
        for (int i = 0; i < 3; ++i)
            polygon[i] = corners[corners_of_triangles[3 * triangle + i]];
        count = CutAtEdge(polygon, count, cut, 0, 1.0f, -GUARD_BAND);
        count = CutAtEdge(cut, count, polygon, 0, -1.0f, viewport.w + GUARD_BAND);
        count = CutAtEdge(polygon, count, cut, 1, 1.0f, -GUARD_BAND);
        count = CutAtEdge(cut, count, polygon, 1, -1.0f, viewport.h + GUARD_BAND);
        for (int i = 1; i + 1 < count; ++i) {
            indices[index_count++] = vertex_count;
            indices[index_count++] = vertex_count + i;
            indices[index_count++] = vertex_count + i + 1;
        }
        for (int i = 0; i < count; ++i)
            vertices[vertex_count++] = polygon[i];
    }
    if (index_count > 0)
        SDL_RenderGeometry(engine.renderer, texture, vertices, vertex_count, indices, index_count);
}

static void GeometryQuad(const hgeQuad &quad, const TextureEntry *texture, const float x[4],
                         const float y[4], const SDL_Rect &viewport)
{
    SDL_Vertex corners[4];
    for (int i = 0; i < 4; ++i) {
        Rgba c = SplitColor(quad.v[i].col);
        if (texture && (quad.blend & BLEND_COLORADD))
            c.r = c.g = c.b = 255;
        corners[i].position = {x[i], y[i]};
        corners[i].color = {c.r, c.g, c.b, c.a};
        corners[i].tex_coord = {ClampUnit(quad.v[i].tx), ClampUnit(quad.v[i].ty)};
    }
    SDL_BlendMode blend = BlendModeOf(quad, texture);
    if (texture)
        PrepareTexture(*texture, blend, {255, 255, 255, 255});
    else
        SDL_SetRenderDrawBlendMode(engine.renderer, blend);
    RenderGeometryInBand(texture ? texture->texture : nullptr, corners, viewport);
}

// `value` on a whole pixel, reusing the rounding of an equal value before it.
static float SnapLike(float value, float earlier, float earlier_snapped)
{
    return value == earlier ? earlier_snapped : Snap(value);
}

// The corners of a sprite share coordinates two by two: each value is
// rounded once (rounding is a good part of a quad's cost).
static void SnapCorners(const hgeVertex (&v)[4], hgeVertex (&snapped)[4])
{
    snapped[0].x = Snap(v[0].x);
    snapped[1].x = SnapLike(v[1].x, v[0].x, snapped[0].x);
    snapped[2].x = SnapLike(v[2].x, v[1].x, snapped[1].x);
    snapped[3].x = SnapLike(v[3].x, v[0].x, snapped[0].x);
    snapped[0].y = Snap(v[0].y);
    snapped[1].y = SnapLike(v[1].y, v[0].y, snapped[0].y);
    snapped[2].y = SnapLike(v[2].y, v[1].y, snapped[1].y);
    snapped[3].y = SnapLike(v[3].y, v[2].y, snapped[2].y);
}

// A quad step: the quad as it reaches the pixels, every corner on a whole
// pixel, and the picture of the target it is drawn from.
static void SetQuadStep(DrawStep &step, const hgeQuad &quad)
{
    step.clear = false;
    step.color = 0;
    step.quad = quad;
    SnapCorners(quad.v, step.quad.v);
    const TextureEntry *texture = quad.tex ? FindTexture(quad.tex) : nullptr;
    step.source_picture = texture && texture->target ? texture->picture : 0;
}

// Takes the drawn form of a quad.
static void DrawQuad(const hgeQuad &drawn)
{
    const TextureEntry *texture = nullptr;
    if (drawn.tex) {
        texture = FindTexture(drawn.tex);
        // A freed or unknown handle draws nothing rather than a blank quad.
        if (!texture)
            return;
    }
    float x[4], y[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = drawn.v[i].x;
        y[i] = drawn.v[i].y;
    }
    const SDL_Rect &viewport = engine.scene_area;
    if (texture && IsAxisAlignedOneColor(drawn, x, y))
        CopyQuad(drawn, *texture, x, y, viewport);
    else
        GeometryQuad(drawn, texture, x, y, viewport);
}

// Every quad becomes a step of its scene, drawn as AddStep decides.
void HGE::Gfx_RenderQuad(const hgeQuad *quad)
{
    if (!quad)
        return;
    if (seam.record_quads)
        seam.quads.push_back({*quad, engine.in_scene ? engine.scene_target : 0});
    if (!engine.in_scene)
        return;
    DrawStep &step = NewStep();
    SetQuadStep(step, *quad);
    AddStep(step);
}

hgeTesting::Pixels DrawDryWindow()
{
    if (!engine.renderer || !engine.window_last_ended)
        return hgeTesting::Pixels();
    SDL_Texture *previous = SDL_GetRenderTarget(engine.renderer);
    HTARGET previous_target = engine.scene_target;
    SDL_SetRenderTarget(engine.renderer, nullptr);
    engine.scene_target = 0;
    const SDL_Rect previous_area = engine.scene_area;
    SDL_RenderGetViewport(engine.renderer, &engine.scene_area);
    DrawSteps(engine.window_scenes.last);
    engine.scene_area = previous_area;
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(engine.renderer, &width, &height);
    hgeTesting::Pixels pixels = ReadRenderTarget(nullptr, width, height);
    engine.scene_target = previous_target;
    SDL_SetRenderTarget(engine.renderer, previous);
    return pixels;
}
