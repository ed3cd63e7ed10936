// The window on any screen: the picture at the largest whole multiple that
// fits, centred between black bars, every virtual pixel an exact block; the
// size the window opens with on a small screen; fullscreen and back; the
// pointer on the picture through the same layout.
#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine_test.h"
#include "hge_layout.h"
#include "key_events.h"

using namespace engine_test;
using hgeTesting::Pixels;

namespace {

constexpr PictureSize SCREEN{256, 192};
constexpr PictureSize DESIGNED{1024, 768};

TEST(PictureLayout, TheLargestWholeMultipleThatFitsCentredWithTheOddPixelRightAndDown)
{
    struct Case {
        PictureSize output;
        PictureLayout layout;
    };
    const Case cases[] = {
        {{1024, 768}, {0, 0, 1024, 768, 4}},
        {{1280, 960}, {0, 0, 1280, 960, 5}},
        {{1300, 1000}, {10, 20, 1280, 960, 5}},
        {{1920, 1080}, {320, 60, 1280, 960, 5}},
        {{3840, 2160}, {512, 24, 2816, 2112, 11}},
        {{1281, 961}, {0, 0, 1280, 960, 5}},
        {{1283, 963}, {1, 1, 1280, 960, 5}},
        {{1279, 2000}, {127, 616, 1024, 768, 4}},
        {{768, 576}, {0, 0, 768, 576, 3}},
        {{256, 192}, {0, 0, 256, 192, 1}},
        // Not even 1x fits: shrunk, its shape kept.
        {{255, 300}, {0, 54, 255, 191, 0}},
        {{400, 150}, {100, 0, 200, 150, 0}},
        {{0, 0}, {0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        const PictureLayout layout = FitPicture(SCREEN, c.output);
        EXPECT_EQ(layout, c.layout) << c.output.width << "x" << c.output.height << ": "
                                    << layout.multiple << "x at " << layout.left << ","
                                    << layout.top << " size " << layout.width << "x" << layout.height;
    }
}

TEST(PictureLayout, AWindowPointFallsInThePicturePixelUnderItAlsoOnHiDpiScreensAndNeverOnTheBars)
{
    struct Case {
        PictureSize window, output;
        int x, y;
        bool on_picture;
        float px, py;
    };
    const Case cases[] = {
        // 4x, no bars: each picture pixel is four window pixels wide.
        {DESIGNED, DESIGNED, 0, 0, true, 0.125f, 0.125f},
        {DESIGNED, DESIGNED, 3, 3, true, 0.875f, 0.875f},
        {DESIGNED, DESIGNED, 4, 7, true, 1.125f, 1.875f},
        {DESIGNED, DESIGNED, 1023, 767, true, 255.875f, 191.875f},
        {DESIGNED, DESIGNED, 1024, 0, false, 0, 0},
        {DESIGNED, DESIGNED, -1, 5, false, 0, 0},
        // 5x from (10, 20): the bars and the picture's first and last pixels.
        {{1300, 1000}, {1300, 1000}, 9, 500, false, 0, 0},
        {{1300, 1000}, {1300, 1000}, 500, 19, false, 0, 0},
        {{1300, 1000}, {1300, 1000}, 10, 20, true, 0.1f, 0.1f},
        {{1300, 1000}, {1300, 1000}, 14, 24, true, 0.9f, 0.9f},
        {{1300, 1000}, {1300, 1000}, 15, 25, true, 1.1f, 1.1f},
        {{1300, 1000}, {1300, 1000}, 1289, 979, true, 255.9f, 191.9f},
        {{1300, 1000}, {1300, 1000}, 1290, 500, false, 0, 0},
        {{1300, 1000}, {1300, 1000}, 500, 980, false, 0, 0},
        // The same picture on a HiDPI screen of twice the pixels.
        {{650, 500}, {1300, 1000}, 4, 9, false, 0, 0},
        {{650, 500}, {1300, 1000}, 5, 10, true, 0.2f, 0.2f},
        {{650, 500}, {1300, 1000}, 644, 489, true, 255.8f, 191.8f},
        {{650, 500}, {1300, 1000}, 645, 300, false, 0, 0},
        // One and a half times the pixels: 6x on the output.
        {DESIGNED, {1536, 1152}, 1, 2, true, 0.375f, 0.625f},
        // Not even 1x fits: shrunk to half, two window pixels a picture pixel.
        {{128, 96}, {128, 96}, 0, 95, true, 1.0f, 191.0f},
    };
    for (const Case &c : cases) {
        float px = -1, py = -1;
        const bool on_picture = PicturePoint(SCREEN, c.window, c.output, c.x, c.y, &px, &py);
        SCOPED_TRACE(std::to_string(c.window.width) + "x" + std::to_string(c.window.height) + " on " +
                     std::to_string(c.output.width) + "x" + std::to_string(c.output.height) + " at " +
                     std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(on_picture, c.on_picture);
        if (c.on_picture) {
            EXPECT_FLOAT_EQ(px, c.px);
            EXPECT_FLOAT_EQ(py, c.py);
        }
    }
}

// A 256x192 virtual screen in which every pixel has a colour of its own, with
// a sprite over it, shown on the window as the game shows it: the target
// magnified four times over the 1024x768 logical window.
class ScaledWindow : public HeadlessEngine {
public:
    void SetUp() override
    {
        HeadlessEngine::SetUp();
        hgeTesting::CaptureWindow(true);
        screen = hge->Target_Create(SCREEN.width, SCREEN.height, false);
        pattern = LoadPixels(MakePixels(SCREEN.width, SCREEN.height,
                                        [](int x, int y) {
                                            return 0xFF000000u | static_cast<uint32_t>(x) << 16 |
                                                   static_cast<uint32_t>(y) << 8 |
                                                   static_cast<uint32_t>((x * 7 + y * 13) & 0xFF);
                                        }),
                             "pattern");
        sprite = LoadPixels(MakePixels(8, 8, [](int, int) { return 0xFFFF0000u; }), "sprite");
        ASSERT_NE(pattern, 0u);
        ASSERT_NE(sprite, 0u);
        // The first picture shows the window.
        Frame(0);
    }

    void Frame(float sprite_x)
    {
        ASSERT_TRUE(hge->Gfx_BeginScene(screen));
        hge->Gfx_Clear(0);
        const hgeQuad back = MakeQuad(pattern, 0, 0, 256, 192);
        const hgeQuad front = MakeQuad(sprite, sprite_x, 100, 8, 8);
        hge->Gfx_RenderQuad(&back);
        hge->Gfx_RenderQuad(&front);
        hge->Gfx_EndScene();
        ASSERT_TRUE(hge->Gfx_BeginScene(0));
        hge->Gfx_Clear(0);
        const hgeQuad whole = MakeQuad(hge->Target_GetTexture(screen), 0, 0, 1024, 768);
        hge->Gfx_RenderQuad(&whole);
        hge->Gfx_EndScene();
    }

    std::string Mismatch(int scale, int left, int top)
    {
        return PictureMismatch(hgeTesting::ReadWindow(), hgeTesting::ReadTarget(screen), scale, left, top);
    }

    HTARGET screen = 0;
    HTEXTURE pattern = 0;
    HTEXTURE sprite = 0;
};

TEST_F(ScaledWindow, EveryVirtualPixelIsAnExactBlockAtEverySizeAlsoWhenOnlyPartChanged)
{
    struct Case {
        int width, height, scale, left, top;
    };
    const Case cases[] = {
        {1024, 768, 4, 0, 0},   {1300, 1000, 5, 10, 20}, {1920, 1080, 5, 320, 60},
        {1283, 963, 5, 1, 1},   {700, 500, 2, 94, 58},   {1024, 768, 4, 0, 0},
    };
    float x = 10;
    for (const Case &c : cases) {
        hgeTesting::ResizeWindow(c.width, c.height);
        Frame(x);
        EXPECT_EQ(Mismatch(c.scale, c.left, c.top), "") << c.width << "x" << c.height;
        // The sprite one pixel on: only that strip is drawn again.
        x += 1;
        Frame(x);
        EXPECT_EQ(Mismatch(c.scale, c.left, c.top), "") << c.width << "x" << c.height << ", moved";
    }
}

bool Frame_Nothing()
{
    return false;
}

ScaledWindow *shown_window = nullptr;
HGE *hge_of_window = nullptr;

bool Render_Screen()
{
    shown_window->Frame(10);
    return false;
}

TEST_F(ScaledWindow, FullscreenFillsTheScreenAndTheWindowComesBackAtItsSize)
{
    // SDL's dummy screen is 1024x768.
    hgeTesting::ResizeWindow(1300, 1000);
    shown_window = this;
    hge->System_SetState(HGE_FRAMEFUNC, Frame_Nothing);
    hge->System_SetState(HGE_RENDERFUNC, Render_Screen);
    std::vector<std::string> mismatches;
    std::vector<int> presents;
    hgeTesting::SetFrameHook([&](int frame) {
        // F11 after frames 0 and 2: fullscreen in frames 1 and 2.
        const bool fullscreen = frame == 1 || frame == 2;
        mismatches.push_back(fullscreen ? Mismatch(4, 0, 0) : Mismatch(5, 10, 20));
        presents.push_back(hgeTesting::PresentCount());
        EXPECT_EQ(hge->System_GetState(HGE_WINDOWED), !fullscreen) << "frame " << frame;
        if (frame == 0 || frame == 2)
            PressKey(SDLK_F11);
        return frame == 5;
    });
    hge->System_Start();
    EXPECT_EQ(mismatches, std::vector<std::string>(6, ""));
    // Each switch shows the resting screen anew, which then rests again.
    EXPECT_GT(presents[1], presents[0]);
    EXPECT_GT(presents[3], presents[2]);
    EXPECT_EQ(presents[5], presents[4]);
}

struct PointerSeen {
    int click;
    bool over;
    float x, y;
    bool operator==(const PointerSeen &) const = default;
};

std::vector<PointerSeen> pointer_seen;

bool Frame_ReadPointer()
{
    PointerSeen seen{hge_of_window->Input_GetClick(), false, 0, 0};
    seen.over = hge_of_window->Input_GetMousePos(&seen.x, &seen.y);
    // Every call in one frame answers the same.
    EXPECT_EQ(hge_of_window->Input_GetClick(), seen.click);
    pointer_seen.push_back(seen);
    return false;
}

std::ostream &operator<<(std::ostream &out, const PointerSeen &seen)
{
    return out << "{click " << seen.click << (seen.over ? ", at " : ", nowhere ") << seen.x << ","
               << seen.y << "}";
}

TEST_F(ScaledWindow, ThePointerIsReadOnceAFrameOnThePictureAndClicksOnTheBarsAreNone)
{
    using namespace hgeTesting;
    shown_window = this;
    hge_of_window = hge;
    pointer_seen.clear();
    hge->System_SetState(HGE_FRAMEFUNC, Frame_ReadPointer);
    hge->System_SetState(HGE_RENDERFUNC, Render_Screen);
    // What happens before each frame; the picture lies at 5x from (10, 20).
    const std::vector<std::function<void()>> before = {
        [] {},
        [] { ResizeWindow(1300, 1000); MovePointer(10, 20); },
        [] {},  // resting: still there
        [] { ClickPointer(9, 500); },  // on the left bar
        [] { ClickPointer(1289, 979); },
        // Two clicks in one frame: the first counts, at its own point.
        [] { ClickPointer(15, 25, HGEK_RBUTTON); ClickPointer(600, 500); },
        [] {},  // nothing kept for later: the mouse rests where it went
        [] { TapPointer(100, 100); },
        [] {},  // a finger does not hover
        [] { MovePointer(20, 30); },
        [] { PointerLeaves(); },
        [] { MovePointer(4, 4); PressKey(SDLK_F11); },  // fullscreen on the 1024x768 screen: 4x
    };
    const std::vector<PointerSeen> expected = {
        {0, false, 0, 0},
        {0, true, 0.1f, 0.1f},
        {0, true, 0.1f, 0.1f},
        {0, false, 0, 0},
        {HGEK_LBUTTON, true, 255.9f, 191.9f},
        {HGEK_RBUTTON, true, 1.1f, 1.1f},
        {0, true, 118.1f, 96.1f},
        {HGEK_LBUTTON, true, 18.1f, 16.1f},
        {0, false, 0, 0},
        {0, true, 2.1f, 2.1f},
        {0, false, 0, 0},
        {0, true, 1.125f, 1.125f},
    };
    before[0]();
    SetFrameHook([&](int frame) {
        if (frame + 1 >= static_cast<int>(before.size()))
            return true;
        before[frame + 1]();
        return false;
    });
    hge->System_Start();
    ASSERT_EQ(pointer_seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(pointer_seen[i].click, expected[i].click) << "frame " << i;
        EXPECT_EQ(pointer_seen[i].over, expected[i].over) << "frame " << i << ": " << pointer_seen[i];
        EXPECT_NEAR(pointer_seen[i].x, expected[i].x, 1e-4) << "frame " << i;
        EXPECT_NEAR(pointer_seen[i].y, expected[i].y, 1e-4) << "frame " << i;
    }
}

TEST_F(HeadlessEngine, AnyOtherWindowSceneIsTheLogicalWindowAtAWholeMultipleAndStaysInside)
{
    constexpr uint32_t RED = 0xFFFF0000, GREY = 0xFF404040;
    hgeTesting::CaptureWindow(true);
    const HTEXTURE sprite = LoadPixels(MakePixels(8, 8, [](int, int) { return RED; }), "red");
    auto show = [&] {
        ASSERT_TRUE(hge->Gfx_BeginScene(0));
        hge->Gfx_Clear(GREY);
        // Both reach out of the logical window, at opposite corners.
        const hgeQuad top_left = MakeQuad(sprite, -4, -4, 16, 16);
        const hgeQuad bottom_right = MakeQuad(sprite, 1020, 764, 16, 16);
        hge->Gfx_RenderQuad(&top_left);
        hge->Gfx_RenderQuad(&bottom_right);
        hge->Gfx_EndScene();
    };
    struct Case {
        int width, height, scale, left, top;
    };
    for (const Case c : {Case{1300, 1000, 1, 138, 116}, Case{2100, 1600, 2, 26, 32}}) {
        hgeTesting::ResizeWindow(c.width, c.height);
        show();
        const Pixels window = hgeTesting::ReadWindow();
        ASSERT_EQ(window.width, c.width);
        auto at = [&](int x, int y) { return window.At(c.left + x * c.scale, c.top + y * c.scale); };
        EXPECT_EQ(at(0, 0), RED);
        EXPECT_EQ(at(11, 11), RED);
        EXPECT_EQ(at(12, 0), GREY);
        EXPECT_EQ(at(1023, 767), RED);
        EXPECT_EQ(at(500, 300), GREY);
        // Neither the quads nor the clear reach the bars.
        EXPECT_EQ(window.At(c.left - 1, c.top), OPAQUE_BLACK);
        EXPECT_EQ(window.At(c.left, c.top - 1), OPAQUE_BLACK);
        EXPECT_EQ(window.At(c.left + 1024 * c.scale, c.top + 767 * c.scale), OPAQUE_BLACK);
        EXPECT_EQ(window.At(c.left + 1023 * c.scale, c.top + 768 * c.scale), OPAQUE_BLACK);
    }
}

TEST(WindowAtStart, OnAScreenTooSmallForItTheWindowOpensAtTheLargestMultipleThatFits)
{
    struct Case {
        PictureSize usable;
        bool picture;  // the first scene is one target magnified
        PictureSize opens;
    };
    const Case cases[] = {
        {{0, 0}, true, DESIGNED},  // SDL's dummy screen: 1024x768
        {{1920, 1080}, true, DESIGNED},
        {{1280, 720}, true, {768, 576}},
        {{1023, 4000}, true, {768, 576}},
        // A first scene that is no picture of one target: the logical
        // window, shrunk to fit.
        {{1280, 720}, false, {960, 720}},
    };
    for (const Case &c : cases) {
        UseHeadlessSeam();
        hgeTesting::CaptureWindow(true);
        if (c.usable.width)
            hgeTesting::SetUsableDisplayArea(c.usable.width, c.usable.height);
        HGE *hge = hgeCreate(HGE_VERSION);
        hge->System_SetState(HGE_SCREENWIDTH, DESIGNED.width);
        hge->System_SetState(HGE_SCREENHEIGHT, DESIGNED.height);
        hge->System_SetState(HGE_TEXTUREFILTER, false);
        ASSERT_TRUE(hge->System_Initiate());
        const HTARGET screen = hge->Target_Create(SCREEN.width, SCREEN.height, false);
        ASSERT_TRUE(hge->Gfx_BeginScene(screen));
        hge->Gfx_Clear(0xFF336699);
        hge->Gfx_EndScene();
        ASSERT_TRUE(hge->Gfx_BeginScene(0));
        hge->Gfx_Clear(0);
        const float size = c.picture ? 1024 : 1000;
        const hgeQuad whole = MakeQuad(hge->Target_GetTexture(screen), 0, 0, size, size * 0.75f);
        hge->Gfx_RenderQuad(&whole);
        hge->Gfx_EndScene();
        const Pixels window = hgeTesting::ReadWindow();
        EXPECT_EQ(PictureSize({window.width, window.height}), c.opens)
            << c.usable.width << "x" << c.usable.height << ": " << window.width << "x" << window.height;
        if (c.picture) {
            EXPECT_EQ(PictureMismatch(window, hgeTesting::ReadTarget(screen), c.opens.width / 256, 0, 0), "");
        }
        hge->System_Shutdown();
        hge->Release();
    }
    hgeTesting::Reset();
}

}  // namespace
