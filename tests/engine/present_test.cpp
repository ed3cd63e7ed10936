// A window scene equal to the one the window already shows is neither drawn
// nor presented again, so a screen at rest costs almost nothing; but whatever
// changes what the pixels would be (a quad, a target's picture, a texture, the
// platform losing the window's picture) is always shown, and frames that
// present nothing are still paced.
#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "hge_pacing.h"

using namespace engine_test;
using hgeTesting::Pixels;

namespace {

constexpr uint32_t RED = 0xFFFF0000;
constexpr uint32_t GREEN = 0xFF00FF00;

// A 256x192 virtual screen shown on the window every frame, as the program
// composes its frames, with the window read back at each present.
class RestingWindow : public HeadlessEngine {
protected:
    void SetUp() override
    {
        HeadlessEngine::SetUp();
        hgeTesting::CaptureWindow(true);
        screen = hge->Target_Create(256, 192, true);
        sprite = LoadPixels(MakePixels(8, 8, [](int, int) { return RED; }), "red");
        ASSERT_NE(sprite, 0u);
    }

    // One frame: the quads into the cleared (or not) virtual screen, then
    // the virtual screen onto the window.
    void Frame(const std::vector<hgeQuad> &quads, bool clear = true)
    {
        ASSERT_TRUE(hge->Gfx_BeginScene(screen));
        if (clear)
            hge->Gfx_Clear(0);
        for (const hgeQuad &quad : quads)
            hge->Gfx_RenderQuad(&quad);
        hge->Gfx_EndScene();
        ASSERT_TRUE(hge->Gfx_BeginScene(0));
        hge->Gfx_Clear(0);
        hgeQuad whole = MakeQuad(hge->Target_GetTexture(screen), 0, 0, 1024, 768);
        hge->Gfx_RenderQuad(&whole);
        hge->Gfx_EndScene();
    }

    // What the player sees is what was drawn last.
    void ExpectWindowShowsScreen()
    {
        const Pixels window = hgeTesting::ReadWindow();
        EXPECT_EQ(WindowMismatch(window, hgeTesting::ReadTarget(screen)), "");
    }

    HTARGET screen = 0;
    HTEXTURE sprite = 0;
};

TEST_F(RestingWindow, ARestingSceneIsPresentedOnceAndEveryChangeAgain)
{
    const hgeQuad at_rest = MakeQuad(sprite, 10, 10, 8, 8);
    for (int frame = 0; frame < 3; ++frame)
        Frame({at_rest});
    EXPECT_EQ(hgeTesting::PresentCount(), 1);
    ExpectWindowShowsScreen();

    const hgeQuad moved = MakeQuad(sprite, 11, 10, 8, 8);
    Frame({moved});
    EXPECT_EQ(hgeTesting::PresentCount(), 2);
    ExpectWindowShowsScreen();
    EXPECT_EQ(hgeTesting::ReadWindow().At(4 * 18 + 1, 4 * 10 + 1), RED);

    // A drift that still lands on the same whole pixels draws the same picture.
    const hgeQuad drifted = MakeQuad(sprite, 11.2f, 9.9f, 8, 8);
    Frame({drifted});
    EXPECT_EQ(hgeTesting::PresentCount(), 2);

    // A different colour, another quad, or the old picture back: all shown.
    Frame({MakeQuad(sprite, 11, 10, 8, 8, 0, 0, 1, 1, 0xFF808080)});
    Frame({moved, at_rest});
    Frame({at_rest});
    EXPECT_EQ(hgeTesting::PresentCount(), 5);
    ExpectWindowShowsScreen();
}

TEST_F(RestingWindow, TexturesAndTargetsThatChangeAreAlwaysShown)
{
    const hgeQuad quad = MakeQuad(sprite, 10, 10, 8, 8);
    Frame({quad});
    Frame({quad});
    ASSERT_EQ(hgeTesting::PresentCount(), 1);

    // The same steps, but the texture they draw from is gone: the quad with
    // it. Loading another texture counts as a change too.
    HTEXTURE other = LoadPixels(MakePixels(2, 2, [](int, int) { return RED; }), "other");
    Frame({quad});
    EXPECT_EQ(hgeTesting::PresentCount(), 2);
    hge->Texture_Free(sprite);
    Frame({quad});
    EXPECT_EQ(hgeTesting::PresentCount(), 3);
    ExpectWindowShowsScreen();
    EXPECT_EQ(hgeTesting::ReadWindow().At(4 * 12, 4 * 12), OPAQUE_BLACK);

    // Without a clear, the same steps blend over what the target held: each
    // frame is a new picture.
    const hgeQuad veil = MakeQuad(0, 0, 0, 16, 16, 0, 0, 1, 1, 0x40FFFFFF);
    Frame({veil}, false);
    const uint32_t once = hgeTesting::ReadWindow().At(1, 1);
    Frame({veil}, false);
    EXPECT_EQ(hgeTesting::PresentCount(), 5);
    EXPECT_GT(hgeTesting::ReadWindow().At(1, 1) & 0xFF, once & 0xFF);
    ExpectWindowShowsScreen();

    // Sampling changes every picture drawn from a texture.
    Frame({});
    hge->System_SetState(HGE_TEXTUREFILTER, true);
    Frame({});
    EXPECT_EQ(hgeTesting::PresentCount(), 7);
    hge->Texture_Free(other);
}

TEST_F(RestingWindow, AWindowDrawnStraightFromATextureShowsItGoing)
{
    auto show = [&] {
        ASSERT_TRUE(hge->Gfx_BeginScene(0));
        hge->Gfx_Clear(0);
        hgeQuad quad = MakeQuad(sprite, 40, 40, 32, 32);
        hge->Gfx_RenderQuad(&quad);
        hge->Gfx_EndScene();
    };
    show();
    show();
    EXPECT_EQ(hgeTesting::PresentCount(), 1);
    EXPECT_EQ(hgeTesting::ReadWindow().At(50, 50), RED);
    hge->Texture_Free(sprite);
    show();
    EXPECT_EQ(hgeTesting::PresentCount(), 2);
    EXPECT_EQ(hgeTesting::ReadWindow().At(50, 50), OPAQUE_BLACK);
}

TEST_F(RestingWindow, ATargetSceneThatRepeatsReadsAsDrawnAtEveryStep)
{
    HTEXTURE green = LoadPixels(MakePixels(8, 8, [](int, int) { return GREEN; }), "green");
    const hgeQuad a = MakeQuad(sprite, 10, 10, 8, 8);
    const hgeQuad b = MakeQuad(green, 30, 10, 8, 8);
    auto begin = [&] {
        ASSERT_TRUE(hge->Gfx_BeginScene(screen));
        hge->Gfx_Clear(0);
        hge->Gfx_RenderQuad(&a);
    };
    Frame({a, b});
    Frame({a, b});

    // Halfway through the same scene again the target holds only what it
    // has been given so far.
    begin();
    Pixels half = hgeTesting::ReadTarget(screen);
    hge->Gfx_RenderQuad(&b);
    hge->Gfx_EndScene();
    EXPECT_EQ(half.At(12, 12), RED);
    EXPECT_EQ(half.At(32, 12), TRANSPARENT);
    EXPECT_EQ(hgeTesting::ReadTarget(screen).At(32, 12), GREEN);

    // A scene that stops short of the last one is a picture of its own.
    begin();
    hge->Gfx_EndScene();
    EXPECT_EQ(hgeTesting::ReadTarget(screen).At(32, 12), TRANSPARENT);

    // A texture freed halfway: what came before is drawn with it, what comes
    // after without.
    Frame({a, b});
    Frame({a, b});
    begin();
    hge->Texture_Free(green);
    hge->Gfx_RenderQuad(&b);
    hge->Gfx_EndScene();
    Pixels after = hgeTesting::ReadTarget(screen);
    EXPECT_EQ(after.At(12, 12), RED);
    EXPECT_EQ(after.At(32, 12), TRANSPARENT);
}

// The frame loop: a resting scene every frame, the platform saying the
// window was uncovered after the third, and a resize after the fifth.
void RestingScene()
{
    static HTARGET screen = 0;
    HGE *hge = hgeCreate(HGE_VERSION);
    if (!screen)
        screen = hge->Target_Create(256, 192, true);
    hge->Gfx_BeginScene(screen);
    hge->Gfx_Clear(0xFF203040);
    hge->Gfx_EndScene();
    hge->Gfx_BeginScene(0);
    hge->Gfx_Clear(0);
    hgeQuad whole = MakeQuad(hge->Target_GetTexture(screen), 0, 0, 1024, 768);
    hge->Gfx_RenderQuad(&whole);
    hge->Gfx_EndScene();
    hge->Release();
}

bool Frame_Nothing() { return false; }
bool Render_Resting()
{
    RestingScene();
    return false;
}

TEST_F(RestingWindow, AWindowThePlatformMayHaveSpoiltIsPresentedAgain)
{
    hge->System_SetState(HGE_FRAMEFUNC, Frame_Nothing);
    hge->System_SetState(HGE_RENDERFUNC, Render_Resting);
    std::vector<int> presents;
    hgeTesting::SetFrameHook([&](int frame) {
        presents.push_back(hgeTesting::PresentCount());
        if (frame == 2) {
            SDL_Event exposed{};
            exposed.type = SDL_WINDOWEVENT;
            exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
            SDL_PushEvent(&exposed);
        }
        // Resized at rest: laid out anew at once.
        if (frame == 4)
            hgeTesting::ResizeWindow(1300, 1000);
        return frame == 7;
    });
    hge->System_Start();
    EXPECT_EQ(presents, (std::vector<int>{1, 1, 1, 2, 2, 3, 3, 3}));
    EXPECT_EQ(hgeTesting::ReadWindow().width, 1300);
}

// ---------------------------------------------------------------- pacing

constexpr double PERIOD = 1.0 / 60.0;

TEST(PacingUnpresented, AFrameThatPresentsNothingWaitsAPeriodEvenWhereVsyncPaces)
{
    double clock = 0.0;
    FramePacer pacer(PaceMode::Measuring, PERIOD, clock);
    for (int i = 0; i < FramePacer::WARMUP_FRAMES + FramePacer::MEASURED_FRAMES; ++i) {
        clock += 1.0 / 59.94;
        pacer.FrameDone(clock);
    }
    ASSERT_EQ(pacer.Mode(), PaceMode::Vsync);
    const double vblank = clock;
    // Nothing presented waits for the display: the loop holds the frames.
    double next = pacer.FrameDone(vblank + 0.001, false);
    EXPECT_NEAR(next, vblank + PERIOD, 1e-12);
    next = pacer.FrameDone(next + 0.001, false);
    EXPECT_NEAR(next, vblank + 2 * PERIOD, 1e-12);
    // Presenting again leaves it to vsync.
    EXPECT_EQ(pacer.FrameDone(next + 0.010, true), next + 0.010);
    EXPECT_EQ(pacer.Mode(), PaceMode::Vsync);
}

TEST(PacingUnpresented, ARestingScreenIsHeldToThePeriodAndKeepsTheMeasurementFair)
{
    FramePacer pacer(PaceMode::Measuring, PERIOD, 0.0);
    double clock = pacer.FrameDone(0.001, true);
    for (int i = 0; i < 300; ++i) {
        double next = pacer.FrameDone(clock + 0.0001, false);
        EXPECT_NEAR(next - clock, PERIOD, 1e-9);
        clock = next;
    }
    EXPECT_EQ(pacer.Mode(), PaceMode::Measuring);
    // Nor is the first present after them measured, or hurried.
    double next = pacer.FrameDone(clock + 0.0001, true);
    EXPECT_NEAR(next - clock, PERIOD, 1e-9);
    clock = next;

    // Presented frames at 62.5 Hz (SDL's simulated vsync), each pair broken
    // by a resting frame held to the full period: only runs of presented
    // frames are measured, so the fast vsync is still found out.
    for (int i = 0; i < 10 * (FramePacer::WARMUP_FRAMES + FramePacer::MEASURED_FRAMES); ++i) {
        clock += 0.016;
        pacer.FrameDone(clock, true);
        if (pacer.Mode() != PaceMode::Measuring)
            break;
        if (i % 100 == 99)
            clock = pacer.FrameDone(clock + 0.0001, false);
    }
    EXPECT_EQ(pacer.Mode(), PaceMode::Deadlines);
}

}  // namespace
