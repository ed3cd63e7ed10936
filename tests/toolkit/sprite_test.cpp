// Sprites and rectangles: the quads a sprite hands to the engine, and what
// lands on the screen from them.
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "hgerect.h"
#include "hgesprite.h"
#include "toolkit_test.h"

using toolkit_test::Headless;
using toolkit_test::TexelAt;

namespace {

constexpr float QUARTER_TURN = std::numbers::pi_v<float> / 2;

using Point = std::pair<float, float>;

std::vector<Point> Corners(const hgeQuad &quad)
{
    std::vector<Point> corners;
    for (const hgeVertex &v : quad.v)
        corners.emplace_back(v.x, v.y);
    return corners;
}

std::vector<Point> TexCoords(const hgeQuad &quad)
{
    std::vector<Point> coords;
    for (const hgeVertex &v : quad.v)
        coords.emplace_back(v.tx, v.ty);
    return coords;
}

class Sprites : public Headless {
protected:
    // A texture of TexelAt texels, w×h.
    HTEXTURE LoadTexture(int w, int h)
    {
        HTEXTURE texture = LoadPixels(engine_test::MakePixels(w, h, TexelAt),
                                      "t" + std::to_string(w) + "x" + std::to_string(h));
        EXPECT_NE(texture, 0u);
        return texture;
    }

    hgeQuad DrawnQuad()
    {
        std::vector<hgeQuad> quads = TakeQuads();
        EXPECT_EQ(quads.size(), 1u);
        return quads.empty() ? hgeQuad{} : quads.back();
    }
};

}  // namespace

TEST_F(Sprites, TextureZeroCarriesTexelValuesAndDefaults)
{
    hgeSprite sprite(0, 16, 0, 35, 10);
    sprite.Render(0, 0);
    const hgeQuad quad = DrawnQuad();
    EXPECT_EQ(TexCoords(quad), (std::vector<Point>{{16, 0}, {51, 0}, {51, 10}, {16, 10}}));
    EXPECT_EQ(quad.tex, 0u);
    EXPECT_EQ(quad.blend, BLEND_DEFAULT);
    for (const hgeVertex &v : quad.v) {
        EXPECT_EQ(v.col, 0xFFFFFFFFu);
        EXPECT_EQ(v.z, 0.5f);
    }
}

TEST_F(Sprites, RenderPlacesTheHotSpotOnThePoint)
{
    hgeSprite sun(0, 0, 0, 58, 58);
    sun.SetHotSpot(29, 29);
    sun.Render(182, 51);
    EXPECT_EQ(Corners(DrawnQuad()),
              (std::vector<Point>{{153, 22}, {211, 22}, {211, 80}, {153, 80}}));
}

TEST_F(Sprites, RenderExScalesAboutTheHotSpot)
{
    hgeSprite screen(0, 0, 0, 256, 192);
    screen.RenderEx(0, 0, 0, 4, 4);
    EXPECT_EQ(Corners(DrawnQuad()),
              (std::vector<Point>{{0, 0}, {1024, 0}, {1024, 768}, {0, 768}}));

    // A vertical scale of 0 takes the horizontal one.
    hgeSprite piece(0, 0, 0, 10, 6);
    piece.SetHotSpot(5, 6);
    piece.RenderEx(100, 50, 0, 2, 0);
    EXPECT_EQ(Corners(DrawnQuad()), (std::vector<Point>{{90, 38}, {110, 38}, {110, 50}, {90, 50}}));

    piece.RenderEx(100, 50, 0, 2, 3);
    EXPECT_EQ(Corners(DrawnQuad()), (std::vector<Point>{{90, 32}, {110, 32}, {110, 50}, {90, 50}}));
}

TEST_F(Sprites, RotationTurnsAboutTheHotSpotAndOnlyExactZeroSkipsIt)
{
    hgeSprite bar(0, 0, 0, 10, 2);
    bar.SetHotSpot(0, 1);
    bar.RenderEx(50, 50, QUARTER_TURN, 1, 0);
    const std::vector<Point> turned = Corners(DrawnQuad());
    const std::vector<Point> expected{{51, 50}, {51, 60}, {49, 60}, {49, 50}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(turned[i].first, expected[i].first, 1e-4) << "corner " << i;
        EXPECT_NEAR(turned[i].second, expected[i].second, 1e-4) << "corner " << i;
    }

    // -0 equals 0 and draws unturned; NaN is not 0 and goes through the
    // trigonometry, which makes every corner NaN.
    bar.RenderEx(50, 50, -0.0f, 1, 0);
    EXPECT_EQ(Corners(DrawnQuad()), (std::vector<Point>{{50, 49}, {60, 49}, {60, 51}, {50, 51}}));
    bar.RenderEx(50, 50, std::numeric_limits<float>::quiet_NaN(), 1, 0);
    for (const Point &corner : Corners(DrawnQuad()))
        EXPECT_TRUE(std::isnan(corner.first) && std::isnan(corner.second));
}

TEST_F(Sprites, StretchAndFreeCornersIgnoreHotSpotAndSize)
{
    hgeSprite sprite(0, 0, 0, 10, 10);
    sprite.SetHotSpot(5, 5);
    sprite.RenderStretch(10, 20, 40, 25);
    EXPECT_EQ(Corners(DrawnQuad()), (std::vector<Point>{{10, 20}, {40, 20}, {40, 25}, {10, 25}}));
    sprite.Render4V(1, 2, 3, 4, 5, 6, 7, 8);
    EXPECT_EQ(Corners(DrawnQuad()), (std::vector<Point>{{1, 2}, {3, 4}, {5, 6}, {7, 8}}));
}

TEST_F(Sprites, BoundingBoxTakesVerticalScaleZeroLiterally)
{
    hgeSprite sprite(0, 0, 0, 20, 10);
    sprite.SetHotSpot(10, 5);
    hgeRect box(-500, -500, 500, 500);  // not clean: the call must start afresh
    EXPECT_EQ(sprite.GetBoundingBoxEx(30, 40, 0, 1, 0, &box), &box);
    EXPECT_EQ(box.x1, 20);
    EXPECT_EQ(box.x2, 40);
    EXPECT_EQ(box.y1, 40);
    EXPECT_EQ(box.y2, 40);
    EXPECT_TRUE(TakeQuads().empty());

    // The same arguments draw the sprite at full height.
    sprite.RenderEx(30, 40, 0, 1, 0);
    EXPECT_EQ(Corners(DrawnQuad()), (std::vector<Point>{{20, 35}, {40, 35}, {40, 45}, {20, 45}}));

    // Turned a quarter, the box is 10 wide and 20 high about the same point.
    sprite.GetBoundingBoxEx(30, 40, QUARTER_TURN, 1, 1, &box);
    EXPECT_NEAR(box.x1, 25, 1e-4);
    EXPECT_NEAR(box.x2, 35, 1e-4);
    EXPECT_NEAR(box.y1, 30, 1e-4);
    EXPECT_NEAR(box.y2, 50, 1e-4);
}

TEST_F(Sprites, FlipTwiceMirrorsOnceAndUnflipRestoresExactly)
{
    HTEXTURE texture = LoadTexture(64, 32);
    hgeSprite sprite(texture, 3, 5, 13, 7);
    sprite.Render(0, 0);
    const std::vector<Point> plain = TexCoords(DrawnQuad());

    sprite.SetFlip(true, false, false);
    sprite.SetFlip(true, false, false);
    sprite.Render(0, 0);
    const std::vector<Point> mirrored = TexCoords(DrawnQuad());
    EXPECT_EQ(mirrored, (std::vector<Point>{plain[1], plain[0], plain[3], plain[2]}));

    sprite.SetFlip(false, true, false);
    sprite.Render(0, 0);
    EXPECT_EQ(TexCoords(DrawnQuad()), (std::vector<Point>{plain[3], plain[2], plain[1], plain[0]}));

    sprite.SetFlip(false, false, false);
    sprite.Render(0, 0);
    EXPECT_EQ(TexCoords(DrawnQuad()), plain);
}

TEST_F(Sprites, MirroredHotSpotFollowsTheDocumentedOrder)
{
    hgeSprite sprite(0, 0, 0, 10, 10);
    sprite.SetHotSpot(2, 3);
    sprite.SetFlip(true, false, true);
    sprite.Render(0, 0);
    EXPECT_EQ(Corners(DrawnQuad())[0], Point(-2, -3));

    // Now the hot spot mode applies to the mirroring already there.
    sprite.SetFlip(true, false, false);
    sprite.Render(0, 0);
    EXPECT_EQ(Corners(DrawnQuad())[0], Point(-8, -3));

    sprite.SetFlip(true, true, true);
    sprite.Render(0, 0);
    EXPECT_EQ(Corners(DrawnQuad())[0], Point(-2, -3));
}

TEST_F(Sprites, TextureRectKeepsMirroringAndMaySkipTheSize)
{
    hgeSprite sprite(0, 0, 0, 10, 10);
    sprite.SetFlip(true, false, false);
    sprite.SetTextureRect(20, 4, 6, 8, false);
    sprite.Render(100, 100);
    const hgeQuad kept = DrawnQuad();
    EXPECT_EQ(TexCoords(kept), (std::vector<Point>{{26, 4}, {20, 4}, {20, 12}, {26, 12}}));
    EXPECT_EQ(Corners(kept)[2], Point(110, 110));

    sprite.SetTextureRect(20, 4, 6, 8, true);
    sprite.Render(100, 100);
    EXPECT_EQ(Corners(DrawnQuad())[2], Point(106, 108));
}

TEST_F(Sprites, SetTextureRescalesOnlyWhenTheSizeChanges)
{
    HTEXTURE narrow = LoadTexture(32, 16);
    HTEXTURE same = LoadTexture(32, 16);
    HTEXTURE wide = LoadTexture(64, 16);
    hgeSprite sprite(narrow, 8, 4, 8, 8);
    sprite.SetFlip(false, true, false);
    sprite.Render(0, 0);
    const std::vector<Point> before = TexCoords(DrawnQuad());

    sprite.SetTexture(same);
    sprite.Render(0, 0);
    const hgeQuad onSame = DrawnQuad();
    EXPECT_EQ(onSame.tex, same);
    EXPECT_EQ(TexCoords(onSame), before);

    sprite.SetTexture(wide);
    sprite.Render(0, 0);
    const std::vector<Point> halved = TexCoords(DrawnQuad());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(halved[i].first, before[i].first / 2) << "corner " << i;
        EXPECT_EQ(halved[i].second, before[i].second) << "corner " << i;
    }

    // Back to texture 0, the coordinates are texels again, still mirrored.
    sprite.SetTexture(0);
    sprite.Render(0, 0);
    EXPECT_EQ(TexCoords(DrawnQuad()), (std::vector<Point>{{8, 12}, {16, 12}, {16, 4}, {8, 4}}));
}

TEST_F(Sprites, ColorAndDepthPerVertexIgnoreIndicesOutOfRange)
{
    hgeSprite sprite(0, 0, 0, 4, 4);
    sprite.SetColor(0xFF112233, 2);
    sprite.SetZ(0.25f, 1);
    sprite.SetColor(0xFFFFFF00, 4);
    sprite.SetColor(0xFFFFFF00, -2);
    sprite.SetZ(0.75f, 7);
    sprite.SetZ(0.75f, -5);
    sprite.Render(0, 0);
    const hgeQuad quad = DrawnQuad();
    const DWORD colours[4] = {quad.v[0].col, quad.v[1].col, quad.v[2].col, quad.v[3].col};
    const float depths[4] = {quad.v[0].z, quad.v[1].z, quad.v[2].z, quad.v[3].z};
    EXPECT_EQ(std::vector<DWORD>(colours, colours + 4),
              (std::vector<DWORD>{0xFFFFFFFF, 0xFFFFFFFF, 0xFF112233, 0xFFFFFFFF}));
    EXPECT_EQ(std::vector<float>(depths, depths + 4), (std::vector<float>{0.5f, 0.25f, 0.5f, 0.5f}));

    sprite.SetColor(0x80FF0000, -1);
    sprite.SetZ(0.0f, -1);
    sprite.Render(0, 0);
    for (const hgeVertex &v : DrawnQuad().v) {
        EXPECT_EQ(v.col, 0x80FF0000u);
        EXPECT_EQ(v.z, 0.0f);
    }
}

TEST_F(Sprites, CopyDrawsLikeTheOriginalAndOutlivesIt)
{
    HTEXTURE texture = LoadTexture(32, 32);
    auto *original = new hgeSprite(texture, 4, 4, 8, 8);
    original->SetHotSpot(4, 4);
    original->SetColor(0xFF00FF00, -1);
    original->SetFlip(true, false, false);
    original->Render(50, 50);
    const hgeQuad drawn = DrawnQuad();

    hgeSprite copy(*original);
    EXPECT_EQ(Corners(copy.GetQuad()), Corners(drawn));
    delete original;
    copy.Render(50, 50);
    const hgeQuad again = DrawnQuad();
    EXPECT_EQ(Corners(again), Corners(drawn));
    EXPECT_EQ(TexCoords(again), TexCoords(drawn));
    EXPECT_EQ(again.tex, texture);
    EXPECT_EQ(again.v[3].col, 0xFF00FF00u);
}

TEST_F(Sprites, DrawnSpriteShowsItsTexelsPixelForPixelAndMirrored)
{
    HTEXTURE texture = LoadTexture(64, 32);
    hgeSprite sprite(texture, 10, 6, 12, 9);
    sprite.Render(20, 30);
    hgeSprite mirrored(sprite);
    mirrored.SetFlip(true, true, false);
    mirrored.Render(100, 30);
    const hgeTesting::Pixels picture = Picture();

    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 12; ++x) {
            ASSERT_EQ(picture.At(20 + x, 30 + y), TexelAt(10 + x, 6 + y)) << x << "," << y;
            ASSERT_EQ(picture.At(100 + x, 30 + y), TexelAt(10 + 11 - x, 6 + 8 - y)) << x << "," << y;
        }
    }
    // Nothing beyond the sprite's edges.
    EXPECT_EQ(picture.At(19, 30) >> 24, 0u);
    EXPECT_EQ(picture.At(32, 30) >> 24, 0u);
    EXPECT_EQ(picture.At(20, 39) >> 24, 0u);
}

TEST(Rects, EncapsulateStartsFromTheFirstPointOfACleanRect)
{
    hgeRect rect;
    rect.Encapsulate(5, 7);
    EXPECT_FALSE(rect.clean);
    EXPECT_EQ(rect.x1, 5);
    EXPECT_EQ(rect.x2, 5);
    EXPECT_EQ(rect.y1, 7);
    EXPECT_EQ(rect.y2, 7);
    rect.Encapsulate(-1, 9);
    rect.Encapsulate(3, -4);
    EXPECT_EQ(rect.x1, -1);
    EXPECT_EQ(rect.x2, 5);
    EXPECT_EQ(rect.y1, -4);
    EXPECT_EQ(rect.y2, 9);
}

TEST(Rects, LeftAndTopEdgesBelongRightAndBottomDoNot)
{
    const hgeRect rect(0, 0, 10, 10);
    EXPECT_TRUE(rect.TestPoint(0, 0));
    EXPECT_TRUE(rect.TestPoint(9.99f, 9.99f));
    EXPECT_FALSE(rect.TestPoint(10, 10));
    EXPECT_FALSE(rect.TestPoint(10, 5));
    EXPECT_FALSE(rect.TestPoint(5, 10));
    EXPECT_FALSE(rect.TestPoint(-0.01f, 5));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(rect.TestPoint(nan, 5));
    EXPECT_FALSE(rect.TestPoint(5, nan));
}

TEST(Rects, SharingAnEdgeIsNoIntersection)
{
    const hgeRect left(0, 0, 10, 10);
    const hgeRect touching(10, 0, 20, 10);
    const hgeRect overlapping(9.5f, 0, 20, 10);
    const hgeRect below(0, 10, 10, 20);
    const hgeRect inside(2, 2, 3, 3);
    EXPECT_FALSE(left.Intersect(&touching));
    EXPECT_FALSE(touching.Intersect(&left));
    EXPECT_FALSE(left.Intersect(&below));
    EXPECT_TRUE(left.Intersect(&overlapping));
    EXPECT_TRUE(overlapping.Intersect(&left));
    EXPECT_TRUE(left.Intersect(&inside));
    EXPECT_TRUE(inside.Intersect(&left));
}
