// What a quad puts into a render target and onto the window, read back
// pixel by pixel from the headless engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <sys/resource.h>

#include "engine_test.h"

using namespace engine_test;
using hgeTesting::Pixels;

namespace {

// A distinct opaque colour for every texel of a small atlas.
uint32_t Texel(int x, int y)
{
    return 0xFF000000u | static_cast<uint32_t>(x * 40 + 20) << 16 |
           static_cast<uint32_t>(y * 60 + 10) << 8 | 0x33u;
}

int Channel(uint32_t argb, int shift)
{
    return static_cast<int>((argb >> shift) & 0xFF);
}

// Each channel within `slack` of the expected value.
::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int slack = 1)
{
    for (int shift : {24, 16, 8, 0}) {
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > slack)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << actual << " is not near 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

class Drawing : public HeadlessEngine {
protected:
    void SetUp() override
    {
        HeadlessEngine::SetUp();
        target = hge->Target_Create(32, 24, true);
        ASSERT_NE(target, 0u);
    }

    // Draws the quads into the cleared target and reads it back.
    Pixels DrawIntoTarget(std::initializer_list<hgeQuad> quads, DWORD clear = 0)
    {
        EXPECT_TRUE(hge->Gfx_BeginScene(target));
        hge->Gfx_Clear(clear);
        for (const hgeQuad &quad : quads)
            hge->Gfx_RenderQuad(&quad);
        hge->Gfx_EndScene();
        return hgeTesting::ReadTarget(target);
    }

    HTEXTURE LoadAtlas(int width, int height)
    {
        HTEXTURE atlas = LoadPixels(MakePixels(width, height, Texel), "engine-atlas");
        EXPECT_NE(atlas, 0u);
        return atlas;
    }

    HTARGET target = 0;
};

TEST_F(Drawing, SpriteAtWholePixelsLandsTexelForTexelWithoutAtlasNeighbours)
{
    // Odd width: the size where SDL's geometry path repeats a column.
    HTEXTURE atlas = LoadAtlas(7, 3);
    ASSERT_EQ(hge->Texture_GetWidth(atlas), 7);
    ASSERT_EQ(hge->Texture_GetHeight(atlas), 3);
    // Texels 2 to 4 of rows 1 and 2, as a sprite cuts them.
    hgeQuad quad = MakeQuad(atlas, 10, 5, 3, 2, 2.0f / 7, 1.0f / 3, 5.0f / 7, 1.0f);
    Pixels pixels = DrawIntoTarget({quad});

    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            bool inside = x >= 10 && x < 13 && y >= 5 && y < 7;
            uint32_t expected = inside ? Texel(x - 10 + 2, y - 5 + 1) : TRANSPARENT;
            ASSERT_EQ(pixels.At(x, y), expected) << "at " << x << "," << y;
        }
    }
}

TEST_F(Drawing, ScaledSpriteRepeatsEveryTexelAsAWholeBlock)
{
    HTEXTURE atlas = LoadAtlas(5, 3);
    // The whole atlas at three times its size: no texel twice, none dropped.
    Pixels pixels = DrawIntoTarget({MakeQuad(atlas, 1, 2, 15, 9)});
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 15; ++x)
            ASSERT_EQ(pixels.At(1 + x, 2 + y), Texel(x / 3, y / 3)) << "at " << x << "," << y;
    EXPECT_EQ(pixels.At(16, 2), TRANSPARENT);
    EXPECT_EQ(pixels.At(1, 11), TRANSPARENT);
}

TEST_F(Drawing, FractionalPositionsSnapToTheNearestWholePixel)
{
    HTEXTURE atlas = LoadAtlas(2, 2);
    // 3.4 goes down to 3, 6.5 up to 7.
    Pixels pixels = DrawIntoTarget({MakeQuad(atlas, 3.4f, 6.5f, 2, 2)});
    EXPECT_EQ(pixels.At(3, 7), Texel(0, 0));
    EXPECT_EQ(pixels.At(4, 8), Texel(1, 1));
    EXPECT_EQ(pixels.At(3, 6), TRANSPARENT);
    EXPECT_EQ(pixels.At(5, 7), TRANSPARENT);
}

TEST_F(Drawing, MirroredTextureCoordinatesReverseTheTexels)
{
    HTEXTURE atlas = LoadAtlas(3, 2);
    hgeQuad left_right = MakeQuad(atlas, 0, 0, 3, 2, 1, 0, 0, 1);
    hgeQuad top_bottom = MakeQuad(atlas, 5, 0, 3, 2, 0, 1, 1, 0);
    hgeQuad both = MakeQuad(atlas, 10, 0, 3, 2, 1, 1, 0, 0);
    // Mirrored by position instead: the right edge left of the left one.
    hgeQuad reversed = MakeQuad(atlas, 18, 0, -3, 2);
    Pixels pixels = DrawIntoTarget({left_right, top_bottom, both, reversed});
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(pixels.At(x, y), Texel(2 - x, y));
            EXPECT_EQ(pixels.At(5 + x, y), Texel(x, 1 - y));
            EXPECT_EQ(pixels.At(10 + x, y), Texel(2 - x, 1 - y));
            EXPECT_EQ(pixels.At(15 + x, y), Texel(2 - x, y));
        }
    }
}

TEST_F(Drawing, HugeQuadsDrawOnlyTheirVisibleTexels)
{
    HTEXTURE atlas = LoadAtlas(4, 2);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    // Texels 10000 pixels wide, starting left of and above the target; then
    // the same mirrored, reaching past its right and bottom edges.
    hgeQuad huge = MakeQuad(atlas, -15000, -9995, 40000, 20000);
    hgeQuad mirrored = MakeQuad(atlas, 20 - 30000, 10, 40000, 20000, 1, 0, 0, 1);
    Pixels pixels = DrawIntoTarget({huge, mirrored});
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    EXPECT_EQ(pixels.At(0, 0), Texel(1, 0));
    EXPECT_EQ(pixels.At(31, 4), Texel(1, 0));
    EXPECT_EQ(pixels.At(0, 5), Texel(1, 1));
    // The mirrored quad's texel columns run from the last one.
    EXPECT_EQ(pixels.At(19, 23), Texel(1, 0));
    EXPECT_EQ(pixels.At(20, 10), Texel(0, 0));
    EXPECT_EQ(pixels.At(31, 23), Texel(0, 0));
    // Scaling the whole quad would have needed gigabytes of scratch pixels.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes";
}

TEST_F(Drawing, QuadsFarOutsideOrUnplacedAreSafe)
{
    // Coloured quads (texture 0) go through the triangle rasteriser, which
    // counts in int: a billion pixels away, or across it, must not break it.
    const DWORD red = 0xFFFF0000, green = 0xFF00FF00;
    hgeQuad far_away = MakeQuad(0, 2e9f, 10, 8, 12, 0, 0, 1, 1, red);
    hgeQuad across = MakeQuad(0, -1e9f, -1e9f, 2e9f, 2e9f, 0, 0, 1, 1, green);
    // Two corners of differing colours: drawn as triangles, cut to a band.
    across.v[2].col = 0xFF00FF01;
    const float nan = std::nanf("");
    hgeQuad unplaced = MakeQuad(0, nan, 0, 4, 4, 0, 0, 1, 1, red);
    Pixels pixels = DrawIntoTarget({across, far_away, unplaced});
    for (int y = 0; y < 24; y += 5)
        for (int x = 0; x < 32; x += 7)
            EXPECT_TRUE(ColorNear(pixels.At(x, y), green)) << x << "," << y;
}

TEST_F(Drawing, TextureZeroDrawsTheVertexColourAndBlendsItsAlpha)
{
    hgeQuad red = MakeQuad(0, 2, 2, 4, 3, 16, 0, 51, 10, 0xFFFF0000);
    hgeQuad half_green = MakeQuad(0, 4, 3, 4, 3, 0, 0, 1, 1, 0x8000FF00);
    Pixels pixels = DrawIntoTarget({red, half_green}, 0xFF0000FF);

    EXPECT_EQ(pixels.At(2, 2), 0xFFFF0000u);
    EXPECT_EQ(pixels.At(5, 2), 0xFFFF0000u);
    EXPECT_EQ(pixels.At(6, 2), 0xFF0000FFu);
    EXPECT_EQ(pixels.At(3, 4), 0xFFFF0000u);
    // Half green over red and over blue.
    EXPECT_TRUE(ColorNear(pixels.At(4, 3), 0xFF7F8000));
    EXPECT_TRUE(ColorNear(pixels.At(7, 5), 0xFF00807F));
    EXPECT_EQ(pixels.At(8, 5), 0xFF0000FFu);
    EXPECT_EQ(pixels.At(7, 6), 0xFF0000FFu);
}

TEST_F(Drawing, VertexColourMultipliesTheTextureAndItsAlphaBlends)
{
    HTEXTURE white = LoadPixels(MakePixels(2, 2, [](int, int) { return 0xFFFFFFFFu; }), "white");
    HTEXTURE half = LoadPixels(MakePixels(2, 2, [](int, int) { return 0x80FF0000u; }), "half-red");
    hgeQuad tinted = MakeQuad(white, 0, 0, 2, 2, 0, 0, 1, 1, 0xFF80C040);
    hgeQuad faded = MakeQuad(white, 4, 0, 2, 2, 0, 0, 1, 1, 0x80FFFFFF);
    hgeQuad texture_alpha = MakeQuad(half, 8, 0, 2, 2);
    Pixels pixels = DrawIntoTarget({tinted, faded, texture_alpha}, 0xFF000000);

    EXPECT_TRUE(ColorNear(pixels.At(1, 1), 0xFF80C040));
    EXPECT_TRUE(ColorNear(pixels.At(5, 1), 0xFF808080));
    // SDL's blending leaves the alpha of an opaque target a little short of 255.
    EXPECT_TRUE(ColorNear(pixels.At(9, 1), 0xFF800000, 2));
    EXPECT_EQ(pixels.At(3, 1), OPAQUE_BLACK);
}

TEST_F(Drawing, ALaterQuadCoversAnEarlierOneWhateverTheirDepths)
{
    hgeQuad near_red = MakeQuad(0, 0, 0, 4, 4, 0, 0, 1, 1, 0xFFFF0000);
    hgeQuad far_green = MakeQuad(0, 2, 0, 4, 4, 0, 0, 1, 1, 0xFF00FF00);
    for (hgeVertex &v : near_red.v)
        v.z = 0.0f;
    for (hgeVertex &v : far_green.v)
        v.z = 1.0f;
    Pixels pixels = DrawIntoTarget({near_red, far_green});
    EXPECT_EQ(pixels.At(3, 1), 0xFF00FF00u);

    pixels = DrawIntoTarget({far_green, near_red});
    EXPECT_EQ(pixels.At(3, 1), 0xFFFF0000u);
}

TEST_F(Drawing, QuadsWithCoordinatesOutsideTheTextureStillDraw)
{
    // Corners of different colours take SDL's geometry path, which rejects
    // texture coordinates outside 0 to 1 unless they are clamped.
    HTEXTURE white = LoadPixels(MakePixels(4, 4, [](int, int) { return 0xFFFFFFFFu; }), "white4");
    hgeQuad quad = MakeQuad(white, 4, 4, 8, 8, -0.5f, -0.5f, 1.5f, 1.5f);
    quad.v[2].col = 0xFFFFFF00;
    Pixels pixels = DrawIntoTarget({quad});
    EXPECT_EQ(Channel(pixels.At(5, 5), 24), 0xFF);
    EXPECT_TRUE(ColorNear(pixels.At(5, 5), 0xFFFFFFFF, 64));
    EXPECT_EQ(pixels.At(3, 3), TRANSPARENT);
}

TEST_F(Drawing, RotatedQuadCoversTheRotatedArea)
{
    // A square standing on a corner: the centre is covered, the corners of
    // its bounding box are not.
    hgeQuad diamond{};
    diamond.v[0] = {16, 2, 0.5f, 0xFFFFFFFF, 0, 0};
    diamond.v[1] = {26, 12, 0.5f, 0xFFFFFFFF, 1, 0};
    diamond.v[2] = {16, 22, 0.5f, 0xFFFFFFFF, 1, 1};
    diamond.v[3] = {6, 12, 0.5f, 0xFFFFFFFF, 0, 1};
    diamond.blend = BLEND_DEFAULT;
    Pixels pixels = DrawIntoTarget({diamond});
    EXPECT_EQ(pixels.At(16, 12), 0xFFFFFFFFu);
    EXPECT_EQ(pixels.At(7, 3), TRANSPARENT);
    EXPECT_EQ(pixels.At(25, 21), TRANSPARENT);
}

TEST_F(Drawing, TargetClearsTransparentAndShowsFourTimesAsExactBlocksOverBlack)
{
    hgeTesting::CaptureWindow(true);
    HTARGET screen = hge->Target_Create(256, 192, true);
    HTEXTURE screen_texture = hge->Target_GetTexture(screen);
    ASSERT_NE(screen_texture, 0u);
    EXPECT_EQ(hge->Texture_GetWidth(screen_texture), 256);
    EXPECT_EQ(hge->Texture_GetHeight(screen_texture), 192);

    HTEXTURE atlas = LoadAtlas(5, 3);
    ASSERT_TRUE(hge->Gfx_BeginScene(screen));
    hge->Gfx_Clear(0);
    Pixels cleared = hgeTesting::ReadTarget(screen);
    hgeQuad sprite = MakeQuad(atlas, 100, 50, 5, 3);
    hgeQuad half_white = MakeQuad(0, 0, 0, 1, 1, 0, 0, 1, 1, 0x80FFFFFF);
    hge->Gfx_RenderQuad(&sprite);
    hge->Gfx_RenderQuad(&half_white);
    hge->Gfx_EndScene();
    Pixels virtual_screen = hgeTesting::ReadTarget(screen);

    ASSERT_TRUE(hge->Gfx_BeginScene(0));
    hge->Gfx_Clear(0);
    hgeQuad whole = MakeQuad(screen_texture, 0, 0, 1024, 768);
    hge->Gfx_RenderQuad(&whole);
    hge->Gfx_EndScene();
    Pixels window = hgeTesting::ReadWindow();

    for (uint32_t pixel : cleared.argb)
        ASSERT_EQ(pixel, TRANSPARENT);
    ASSERT_EQ(window.width, 1024);
    ASSERT_EQ(window.height, 768);
    for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 1024; ++x) {
            uint32_t source = virtual_screen.At(x / 4, y / 4);
            if (source == TRANSPARENT) {
                ASSERT_EQ(window.At(x, y), OPAQUE_BLACK) << "at " << x << "," << y;
            } else if ((source >> 24) == 0xFF) {
                ASSERT_EQ(window.At(x, y), source) << "at " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(window.At(400, 200), Texel(0, 0));
    // The half-white corner was already blended against transparency in the
    // target; blending it again would show a quarter-grey.
    EXPECT_TRUE(ColorNear(window.At(2, 2), 0xFF808080));
}

TEST_F(Drawing, AnUncapturedWindowReadsBackAsTheCapturedOneWould)
{
    HTEXTURE atlas = LoadAtlas(5, 3);
    auto show = [&] {
        EXPECT_TRUE(hge->Gfx_BeginScene(0));
        hge->Gfx_Clear(0xFF102030);
        hgeQuad sprite = MakeQuad(atlas, 200, 100, 20, 12);
        hgeQuad tint = MakeQuad(0, 210, 90, 30, 30, 0, 0, 1, 1, 0x80FF0000);
        hge->Gfx_RenderQuad(&sprite);
        hge->Gfx_RenderQuad(&tint);
        hge->Gfx_EndScene();
    };
    show();
    Pixels noted = hgeTesting::ReadWindow();
    hgeTesting::CaptureWindow(true);
    show();
    Pixels captured = hgeTesting::ReadWindow();
    ASSERT_EQ(captured.width, 1024);
    EXPECT_EQ(captured.At(0, 0), 0xFF102030u);
    EXPECT_EQ(captured.At(204, 104), Texel(1, 1));
    EXPECT_TRUE(noted == captured);
}

TEST_F(Drawing, EveryQuadIsRecordedWithTheTargetItWentInto)
{
    hgeTesting::RecordQuads(true);
    hgeQuad quad = MakeQuad(0, 1, 2, 3, 4);
    ASSERT_TRUE(hge->Gfx_BeginScene(target));
    hge->Gfx_RenderQuad(&quad);
    hge->Gfx_EndScene();
    ASSERT_TRUE(hge->Gfx_BeginScene(0));
    hge->Gfx_RenderQuad(&quad);
    hge->Gfx_EndScene();

    const auto &quads = hgeTesting::Quads();
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0].target, target);
    EXPECT_EQ(quads[1].target, 0u);
    EXPECT_EQ(quads[1].quad.v[2].x, 4.0f);
    hgeTesting::ClearQuads();
    EXPECT_TRUE(hgeTesting::Quads().empty());
}

TEST_F(Drawing, PicturesSurviveASaveAndLoadAsPNG)
{
    Pixels original = MakePixels(5, 4, [](int x, int y) {
        return static_cast<uint32_t>(x * 50) << 24 | (Texel(x, y) & 0xFFFFFF);
    });
    std::string path = torvek_test::OutputDir() + "/engine-roundtrip.png";
    ASSERT_TRUE(hgeTesting::SavePNG(original, path));
    EXPECT_EQ(hgeTesting::LoadPNG(path), original);
    EXPECT_FALSE(hgeTesting::SavePNG(original, "/nonexistent-folder/x.png"));
    EXPECT_EQ(hgeTesting::LoadPNG("/nonexistent-folder/x.png").width, 0);
}

}  // namespace
