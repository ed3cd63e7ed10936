// Turning a quad into SDL calls: a copy of whole texels where the quad allows
// it, triangles otherwise, each kept inside what SDL's software renderer can
// take.
//
// SDL 2.26's software SDL_RenderGeometry repeats a texel column on textures
// whose width is not a power of two and shifts texels when the four vertex
// colours differ. An axis-aligned textured quad of one colour, which is every
// sprite and letter the game draws, therefore goes through SDL_RenderCopyF
// from a whole-texel source rectangle; only other quads use RenderGeometry.
#include "hge_internal.h"

#include <algorithm>
#include <cmath>

struct Rgba {
    Uint8 r, g, b, a;
};

static Rgba SplitColor(DWORD argb)
{
    return {static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
            static_cast<Uint8>(argb), static_cast<Uint8>(argb >> 24)};
}

void SetDrawColor(DWORD color)
{
    Rgba c = SplitColor(color);
    SDL_SetRenderDrawColor(engine.video.renderer, c.r, c.g, c.b, c.a);
}

void DrawClear(DWORD color)
{
    SetDrawColor(color);
    SDL_RenderClear(engine.video.renderer);
}

// ---------------------------------------------------------------- corners

// Whole pixels, rounded the same way on every renderer so that a sprite at
// x.5 never lands differently on two machines.
static float Snap(float position)
{
    return std::floor(position + 0.5f);
}

// `value` on a whole pixel, reusing the rounding of an equal value before it.
static float SnapLike(float value, float earlier, float earlier_snapped)
{
    return value == earlier ? earlier_snapped : Snap(value);
}

// The corners of a sprite share coordinates two by two: each value is
// rounded once (rounding is a good part of a quad's cost).
void SnapCorners(const hgeVertex (&v)[4], hgeVertex (&snapped)[4])
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

// ---------------------------------------------------------------- sampling and copies

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
    if (texture && texture->target && engine.scene.target == 0)
        return SDL_BLENDMODE_NONE;
    return (quad.blend & BLEND_ALPHABLEND) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD;
}

static void PrepareTexture(const TextureEntry &texture, SDL_BlendMode blend, Rgba modulation)
{
    SDL_SetTextureColorMod(texture.texture, modulation.r, modulation.g, modulation.b);
    SDL_SetTextureAlphaMod(texture.texture, modulation.a);
    SDL_SetTextureBlendMode(texture.texture, blend);
    SDL_SetTextureScaleMode(texture.texture,
                            engine.settings.texture_filter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
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

void FreeStaging()
{
    if (engine.staging.texture)
        SDL_DestroyTexture(engine.staging.texture);
    engine.staging.texture = nullptr;
    engine.staging.tried = false;
}

// The software renderer stretches fastest between surfaces of one format,
// and the window's has no alpha while a target's has. A finished target
// shown enlarged on the window is therefore first copied as it is into a
// staging texture of the window's format, then stretched from there: the
// same pixels for about half the CPU.
static SDL_Texture *StagingFor(const TextureEntry &texture)
{
    EngineState::Staging &staging = engine.staging;
    if (staging.texture && (staging.width < texture.width || staging.height < texture.height))
        FreeStaging();
    if (!staging.tried) {
        staging.tried = true;
        Uint32 format = SDL_GetWindowPixelFormat(engine.video.window);
        if (!engine.video.software || format == SDL_PIXELFORMAT_UNKNOWN || SDL_ISPIXELFORMAT_ALPHA(format))
            return nullptr;
        staging.texture = SDL_CreateTexture(engine.video.renderer, format, SDL_TEXTUREACCESS_TARGET,
                                            texture.width, texture.height);
        staging.width = texture.width;
        staging.height = texture.height;
    }
    return staging.texture;
}

static bool ShowTargetThroughStaging(const TextureEntry &texture, Rgba modulation,
                                     const SDL_Rect &source, const SDL_FRect &target)
{
    bool plain = modulation.r == 255 && modulation.g == 255 && modulation.b == 255;
    bool enlarged = target.w > source.w || target.h > source.h;
    if (!texture.target || engine.scene.target != 0 || !plain || !enlarged)
        return false;
    SDL_Texture *staging = StagingFor(texture);
    if (!staging)
        return false;
    // Only the source rectangle is copied; the rest of the staging texture
    // is never read.
    SDL_SetRenderTarget(engine.video.renderer, staging);
    SDL_RenderCopy(engine.video.renderer, texture.texture, &source, &source);
    SDL_SetRenderTarget(engine.video.renderer, nullptr);
    SDL_SetTextureBlendMode(staging, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(staging, engine.settings.texture_filter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    SDL_RenderCopyF(engine.video.renderer, staging, &source, &target);
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
                SDL_RenderCopyExF(engine.video.renderer, texture.texture, &source, &target, 0.0,
                                  nullptr, static_cast<SDL_RendererFlip>(flip));
            else
                SDL_RenderCopyF(engine.video.renderer, texture.texture, &source, &target);
        }
    }
}

// ---------------------------------------------------------------- triangles

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
        SDL_RenderGeometry(engine.video.renderer, texture, corners, 4, corners_of_triangles, 6);
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
        SDL_RenderGeometry(engine.video.renderer, texture, vertices, vertex_count, indices, index_count);
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
        SDL_SetRenderDrawBlendMode(engine.video.renderer, blend);
    RenderGeometryInBand(texture ? texture->texture : nullptr, corners, viewport);
}

// ---------------------------------------------------------------- quads

// Takes the drawn form of a quad.
void DrawQuad(const hgeQuad &drawn)
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
    const SDL_Rect &viewport = engine.scene.area;
    if (texture && IsAxisAlignedOneColor(drawn, x, y))
        CopyQuad(drawn, *texture, x, y, viewport);
    else
        GeometryQuad(drawn, texture, x, y, viewport);
}
