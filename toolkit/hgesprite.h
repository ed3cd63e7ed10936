// A rectangle of texels cut from a texture and drawn as one quad, placed by
// its hot spot. The quad record is kept ready; drawing only fills in the four
// corner positions, so a draw allocates nothing.
#pragma once

#include "hge.h"
#include "hgerect.h"

class hgeSprite {
public:
    hgeSprite(HTEXTURE texture, float x, float y, float w, float h);
    hgeSprite(const hgeSprite &other);
    ~hgeSprite();
    hgeSprite &operator=(const hgeSprite &) = delete;

    void Render(float x, float y);
    // A vscale of exactly 0 means hscale on both axes.
    void RenderEx(float x, float y, float rot, float hscale = 1.0f, float vscale = 0.0f);
    void RenderStretch(float x1, float y1, float x2, float y2);
    void Render4V(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);

    // Unlike RenderEx, a vscale of 0 gives a box of zero height.
    hgeRect *GetBoundingBoxEx(float x, float y, float rot, float hscale, float vscale,
                              hgeRect *rect) const;

    void SetFlip(bool flipX, bool flipY, bool flipHotSpot = false);
    void SetTexture(HTEXTURE texture);
    void SetTextureRect(float x, float y, float w, float h, bool adjustSize = true);
    // Vertex index -1 sets all four corners; an index outside -1..3 changes nothing.
    void SetColor(DWORD color, int i = -1);
    void SetZ(float z, int i = -1);
    void SetHotSpot(float x, float y) { hotSpotX = x; hotSpotY = y; }
    void SetBlendMode(int blend) { quad.blend = blend; }

    HTEXTURE GetTexture() const { return quad.tex; }
    void GetTextureRect(float *x, float *y, float *w, float *h) const {
        *x = texX; *y = texY; *w = width; *h = height;
    }
    DWORD GetColor(int i = 0) const { return quad.v[i & 3].col; }
    float GetZ(int i = 0) const { return quad.v[i & 3].z; }
    int GetBlendMode() const { return quad.blend; }
    void GetHotSpot(float *x, float *y) const { *x = hotSpotX; *y = hotSpotY; }
    void GetFlip(bool *x, bool *y) const { *x = flipX; *y = flipY; }
    float GetWidth() const { return width; }
    float GetHeight() const { return height; }
    const hgeQuad &GetQuad() const { return quad; }

    // The font reads a letter's width and sets its blend mode directly.
    friend class hgeFont;

private:
    hgeQuad quad;
    float texX, texY;
    float width, height;
    float texWidth, texHeight;
    float hotSpotX, hotSpotY;
    bool flipX, flipY, flipHotSpot;

    static HGE *hge;
};
