#include "hgesprite.h"

#include <cmath>
#include <utility>

HGE *hgeSprite::hge = nullptr;

// Texture 0 has no size of its own: with 1×1 the texture coordinates are the
// texel values themselves. A handle the engine does not know (size 0) is
// treated the same, so that no coordinate becomes infinite.
static float TextureSize(int size) { return size > 0 ? static_cast<float>(size) : 1.0f; }

static void SwapTexCoords(hgeVertex &a, hgeVertex &b)
{
    std::swap(a.tx, b.tx);
    std::swap(a.ty, b.ty);
}

static void MirrorLeftRight(hgeQuad &quad)
{
    SwapTexCoords(quad.v[0], quad.v[1]);
    SwapTexCoords(quad.v[3], quad.v[2]);
}

static void MirrorTopBottom(hgeQuad &quad)
{
    SwapTexCoords(quad.v[0], quad.v[3]);
    SwapTexCoords(quad.v[1], quad.v[2]);
}

static void SetCorner(hgeVertex &v, float x, float y)
{
    v.x = x;
    v.y = y;
}

static void SetTexCoord(hgeVertex &v, float tx, float ty)
{
    v.tx = tx;
    v.ty = ty;
}

static void MirrorHotSpot(float &hx, float &hy, float w, float h, bool acrossX, bool acrossY)
{
    if (acrossX)
        hx = w - hx;
    if (acrossY)
        hy = h - hy;
}

static bool ValidVertex(int i) { return i >= -1 && i <= 3; }

// The unmirrored texture coordinates of the texel rectangle (x, y, w, h).
static void WriteTexCoords(hgeQuad &quad, float x, float y, float w, float h, float texWidth,
                           float texHeight)
{
    const float left = x / texWidth;
    const float top = y / texHeight;
    const float right = (x + w) / texWidth;
    const float bottom = (y + h) / texHeight;
    SetTexCoord(quad.v[0], left, top);
    SetTexCoord(quad.v[1], right, top);
    SetTexCoord(quad.v[2], right, bottom);
    SetTexCoord(quad.v[3], left, bottom);
}

// Corners of a sprite of size w×h with hot spot (hx, hy), scaled about the
// hot spot, turned by rot about it and placed at (x, y).
static void PlaceCorners(hgeVertex (&v)[4], float w, float h, float hx, float hy, float x,
                         float y, float rot, float hscale, float vscale)
{
    const float ax = -hx * hscale;
    const float ay = -hy * vscale;
    const float bx = (w - hx) * hscale;
    const float by = (h - hy) * vscale;
    SetCorner(v[0], ax, ay);
    SetCorner(v[1], bx, ay);
    SetCorner(v[2], bx, by);
    SetCorner(v[3], ax, by);

    // Only an exact 0 skips the trigonometry; NaN compares unequal and turns.
    if (rot != 0.0f) {
        const float c = std::cos(rot);
        const float s = std::sin(rot);
        for (hgeVertex &corner : v) {
            const float px = corner.x;
            const float py = corner.y;
            SetCorner(corner, px * c - py * s + x, px * s + py * c + y);
        }
    } else {
        for (hgeVertex &corner : v)
            SetCorner(corner, corner.x + x, corner.y + y);
    }
}

hgeSprite::hgeSprite(HTEXTURE texture, float x, float y, float w, float h)
    : texX(x), texY(y), width(w), height(h), texWidth(1.0f), texHeight(1.0f),
      hotSpotX(0.0f), hotSpotY(0.0f), flipX(false), flipY(false), flipHotSpot(false)
{
    hge = hgeCreate(HGE_VERSION);
    if (texture) {
        texWidth = TextureSize(hge->Texture_GetWidth(texture, false));
        texHeight = TextureSize(hge->Texture_GetHeight(texture, false));
    }
    quad.tex = texture;
    quad.blend = BLEND_DEFAULT;
    for (hgeVertex &v : quad.v) {
        v.x = v.y = 0.0f;
        v.z = 0.5f;
        v.col = 0xFFFFFFFF;
    }
    WriteTexCoords(quad, x, y, w, h, texWidth, texHeight);
}

hgeSprite::hgeSprite(const hgeSprite &other)
    : quad(other.quad), texX(other.texX), texY(other.texY), width(other.width),
      height(other.height), texWidth(other.texWidth), texHeight(other.texHeight),
      hotSpotX(other.hotSpotX), hotSpotY(other.hotSpotY), flipX(other.flipX),
      flipY(other.flipY), flipHotSpot(other.flipHotSpot)
{
    hge = hgeCreate(HGE_VERSION);
}

hgeSprite::~hgeSprite() { hge->Release(); }

void hgeSprite::Render(float x, float y)
{
    const float left = x - hotSpotX;
    const float top = y - hotSpotY;
    const float right = left + width;
    const float bottom = top + height;
    SetCorner(quad.v[0], left, top);
    SetCorner(quad.v[1], right, top);
    SetCorner(quad.v[2], right, bottom);
    SetCorner(quad.v[3], left, bottom);
    hge->Gfx_RenderQuad(&quad);
}

void hgeSprite::RenderEx(float x, float y, float rot, float hscale, float vscale)
{
    if (vscale == 0.0f)
        vscale = hscale;
    PlaceCorners(quad.v, width, height, hotSpotX, hotSpotY, x, y, rot, hscale, vscale);
    hge->Gfx_RenderQuad(&quad);
}

void hgeSprite::RenderStretch(float x1, float y1, float x2, float y2)
{
    SetCorner(quad.v[0], x1, y1);
    SetCorner(quad.v[1], x2, y1);
    SetCorner(quad.v[2], x2, y2);
    SetCorner(quad.v[3], x1, y2);
    hge->Gfx_RenderQuad(&quad);
}

void hgeSprite::Render4V(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                         float y3)
{
    SetCorner(quad.v[0], x0, y0);
    SetCorner(quad.v[1], x1, y1);
    SetCorner(quad.v[2], x2, y2);
    SetCorner(quad.v[3], x3, y3);
    hge->Gfx_RenderQuad(&quad);
}

hgeRect *hgeSprite::GetBoundingBoxEx(float x, float y, float rot, float hscale, float vscale,
                                     hgeRect *rect) const
{
    hgeVertex corners[4];
    PlaceCorners(corners, width, height, hotSpotX, hotSpotY, x, y, rot, hscale, vscale);
    rect->clean = true;
    for (const hgeVertex &v : corners)
        rect->Encapsulate(v.x, v.y);
    return rect;
}

void hgeSprite::SetFlip(bool mirrorX, bool mirrorY, bool mirrorHotSpot)
{
    // The hot spot is first brought back unmirrored, then mirrored again
    // under the new mode; both use the flags as they stand on entry.
    MirrorHotSpot(hotSpotX, hotSpotY, width, height, flipHotSpot && flipX, flipHotSpot && flipY);
    flipHotSpot = mirrorHotSpot;
    MirrorHotSpot(hotSpotX, hotSpotY, width, height, flipHotSpot && flipX, flipHotSpot && flipY);

    if (mirrorX != flipX) {
        MirrorLeftRight(quad);
        flipX = mirrorX;
    }
    if (mirrorY != flipY) {
        MirrorTopBottom(quad);
        flipY = mirrorY;
    }
}

void hgeSprite::SetTexture(HTEXTURE texture)
{
    quad.tex = texture;
    float tw = 1.0f;
    float th = 1.0f;
    if (texture) {
        tw = TextureSize(hge->Texture_GetWidth(texture, false));
        th = TextureSize(hge->Texture_GetHeight(texture, false));
    }
    if (tw == texWidth && th == texHeight)
        return;

    // V0 and V2 are opposite corners that already carry any mirroring.
    const float a = quad.v[0].tx * texWidth;
    const float b = quad.v[0].ty * texHeight;
    const float c = quad.v[2].tx * texWidth;
    const float d = quad.v[2].ty * texHeight;
    texWidth = tw;
    texHeight = th;
    SetTexCoord(quad.v[0], a / tw, b / th);
    SetTexCoord(quad.v[1], c / tw, b / th);
    SetTexCoord(quad.v[2], c / tw, d / th);
    SetTexCoord(quad.v[3], a / tw, d / th);
}

void hgeSprite::SetTextureRect(float x, float y, float w, float h, bool adjustSize)
{
    texX = x;
    texY = y;
    if (adjustSize) {
        width = w;
        height = h;
    }
    WriteTexCoords(quad, x, y, w, h, texWidth, texHeight);
    if (flipX)
        MirrorLeftRight(quad);
    if (flipY)
        MirrorTopBottom(quad);
}

void hgeSprite::SetColor(DWORD color, int i)
{
    if (!ValidVertex(i))
        return;
    if (i == -1) {
        for (hgeVertex &v : quad.v)
            v.col = color;
    } else {
        quad.v[i].col = color;
    }
}

void hgeSprite::SetZ(float z, int i)
{
    if (!ValidVertex(i))
        return;
    if (i == -1) {
        for (hgeVertex &v : quad.v)
            v.z = z;
    } else {
        quad.v[i].z = z;
    }
}
