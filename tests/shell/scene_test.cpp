// The two-stage frame and the sky scene: what the window shows for the
// virtual screen, what the menus and the match draw behind their texts,
// and the sun's drift.
#include <gtest/gtest.h>

#include <algorithm>

#include "main.h"
#include "scene.h"
#include "torvek_test.h"

using hgeTesting::Pixels;
using torvek_test::RunGame;

namespace {

constexpr uint32_t RGB_MASK = 0x00FFFFFF;

// Keys that reach each screen; the frame after the last key shows it.
const std::vector<int> TO_TITLE = {0};
const std::vector<int> TO_MENU = {HGEK_ENTER};
const std::vector<int> TO_OPTIONS = {HGEK_ENTER, HGEK_I};
const std::vector<int> TO_CREDITS = {HGEK_ENTER, HGEK_K};
const std::vector<int> TO_MATCH = {HGEK_ENTER, HGEK_N};

struct Shot {
    Pixels screen;  // the 256×192 virtual screen
    Pixels window;  // the window as presented
    std::vector<hgeTesting::RecordedQuad> quads;  // drawn in that frame
};

// Runs the program through `keys` and captures the frame of the last key.
Shot ShotAfter(const std::vector<int> &keys)
{
    Shot shot;
    const int last = static_cast<int>(keys.size()) - 1;
    hgeTesting::RecordQuads(true);
    RunGame(keys, [&](int frame) {
        if (frame < last) {
            hgeTesting::ClearQuads();
            return false;
        }
        shot.screen = hgeTesting::ReadTarget(t_window_main);
        shot.window = hgeTesting::ReadWindow();
        shot.quads = hgeTesting::Quads();
        return true;
    });
    return shot;
}

bool Draws(const std::vector<hgeTesting::RecordedQuad> &quads, HTEXTURE texture)
{
    return std::any_of(quads.begin(), quads.end(),
                       [&](const hgeTesting::RecordedQuad &q) { return q.quad.tex == texture; });
}

// The texture handles of the background in drawing order, read while the
// program still holds them.
std::vector<HTEXTURE> BackgroundTextures() { return {t_sky, t_sun, t_clouds, t_ground, t_board}; }

}  // namespace

TEST(SunDrift, TurnsOnTheSixtiethStepAndSwingsEvery240)
{
    sun_x = 182.0f;
    sun_drift = 0.05f;
    for (int call = 1; call <= 59; ++call)
        Update_Sun();
    EXPECT_LT(sun_x, 185.0f);
    EXPECT_FLOAT_EQ(sun_drift, 0.05f);

    Update_Sun();  // the 60th passes 185 and turns
    EXPECT_GE(sun_x, 185.0f);
    EXPECT_FLOAT_EQ(sun_drift, -0.05f);
    const float at_turn = sun_x;
    Update_Sun();
    EXPECT_LT(sun_x, at_turn);

    // Turns come every 120 steps from then on, alternately near 179 and 185.
    std::vector<int> turns;
    float previous_drift = sun_drift;
    for (int call = 62; call <= 60 + 480; ++call) {
        Update_Sun();
        if (sun_drift != previous_drift) {
            turns.push_back(call);
            EXPECT_NEAR(sun_x, turns.size() % 2 ? 179.0f : 185.0f, 0.06f) << "turn at " << call;
            previous_drift = sun_drift;
        }
    }
    EXPECT_EQ(turns, (std::vector<int>{180, 300, 420, 540}));
    EXPECT_FLOAT_EQ(sun_y, 51.0f);
}

TEST(SunDrift, MovesOnlyDuringAMatchAndNeverVertically)
{
    std::vector<float> xs;
    std::vector<int> keys = {0, 0, HGEK_ENTER, 0, HGEK_K, HGEK_ESCAPE, HGEK_N};
    keys.resize(keys.size() + 70, 0);
    RunGame(keys, [&](int frame) {
        xs.push_back(sun_x);
        EXPECT_FLOAT_EQ(sun_y, 51.0f);
        return frame + 1 >= static_cast<int>(keys.size());
    });
    ASSERT_GE(xs.size(), keys.size());
    // Menu frames leave the sun at its start.
    for (int frame = 0; frame < 6; ++frame)
        EXPECT_FLOAT_EQ(xs[frame], 182.0f) << frame;
    // N installs the match; each match frame after it moves the sun one step.
    EXPECT_FLOAT_EQ(xs[6], 182.0f);
    EXPECT_GT(xs[7], 182.0f);
    EXPECT_NEAR(xs[7 + 58] - xs[7], 58 * 0.05f, 1e-3f);
    EXPECT_LT(xs[7 + 60], xs[7 + 59]);  // the 60th match frame turned it
}

TEST(FrameComposition, EveryVirtualPixelIsAFourByFourBlockOfTheWindow)
{
    for (const auto &keys : {TO_TITLE, TO_CREDITS, TO_MATCH}) {
        const Shot shot = ShotAfter(keys);
        ASSERT_EQ(shot.screen.width, SCREEN_LENGTH);
        ASSERT_EQ(shot.screen.height, SCREEN_HEIGHT);
        ASSERT_EQ(shot.window.width, WINDOW_LENGTH);
        ASSERT_EQ(shot.window.height, WINDOW_HEIGHT);
        int wrong = 0;
        for (int y = 0; y < WINDOW_HEIGHT; ++y)
            for (int x = 0; x < WINDOW_LENGTH; ++x) {
                const uint32_t virtual_pixel = shot.screen.At(x / SCREEN_SCALE, y / SCREEN_SCALE);
                wrong += (shot.window.At(x, y) & RGB_MASK) != (virtual_pixel & RGB_MASK);
            }
        EXPECT_EQ(wrong, 0) << "window pixels that differ from their virtual pixel, after "
                            << keys.size() << " keys";
        hgeTesting::Reset();
    }
}

TEST(FrameComposition, MenuScreensStandOnBlackWithoutTheBackground)
{
    for (const auto &keys : {TO_TITLE, TO_MENU, TO_OPTIONS, TO_CREDITS}) {
        std::vector<HTEXTURE> background;
        Shot shot;
        hgeTesting::RecordQuads(true);
        RunGame(keys, [&](int frame) {
            if (frame + 1 < static_cast<int>(keys.size())) {
                hgeTesting::ClearQuads();
                return false;
            }
            background = BackgroundTextures();
            shot.screen = hgeTesting::ReadTarget(t_window_main);
            shot.quads = hgeTesting::Quads();
            return true;
        });
        for (HTEXTURE texture : background)
            EXPECT_FALSE(Draws(shot.quads, texture)) << "menu screen " << keys.size();
        // Texts cover little of the screen: the corners stay transparent black.
        EXPECT_EQ(shot.screen.At(0, 0), 0u);
        EXPECT_EQ(shot.screen.At(255, 191), 0u);
        hgeTesting::Reset();
    }
}

TEST(FrameComposition, MatchScreenDrawsSkySunCloudsGroundAndBoardInOrder)
{
    std::vector<HTEXTURE> background;
    std::vector<hgeTesting::RecordedQuad> quads;
    Pixels screen;
    float sun_at = 0;
    hgeTesting::RecordQuads(true);
    RunGame(TO_MATCH, [&](int frame) {
        if (frame == 0) {
            hgeTesting::ClearQuads();
            return false;
        }
        background = BackgroundTextures();
        quads = hgeTesting::Quads();
        screen = hgeTesting::ReadTarget(t_window_main);
        sun_at = sun_x;
        return true;
    });
    // The first five quads into the virtual screen are the background.
    std::vector<hgeTesting::RecordedQuad> into_screen;
    for (const auto &q : quads)
        if (q.target != 0)
            into_screen.push_back(q);
    ASSERT_GE(into_screen.size(), 5u);
    struct Corner { float left, top, right, bottom; };
    const Corner corners[5] = {
        {0, 0, 256, 192},                                   // sky
        {sun_at - 29, 51 - 29, sun_at + 29, 51 + 29},       // sun, centred on its point
        {0, 6, 256, 81},                                    // clouds
        {0, 116, 256, 192},                                 // ground
        {78, 124, 181, 152},                                // board
    };
    for (int i = 0; i < 5; ++i) {
        const hgeQuad &q = into_screen[i].quad;
        EXPECT_EQ(q.tex, background[i]) << "background quad " << i;
        EXPECT_FLOAT_EQ(q.v[0].x, corners[i].left) << i;
        EXPECT_FLOAT_EQ(q.v[0].y, corners[i].top) << i;
        EXPECT_FLOAT_EQ(q.v[2].x, corners[i].right) << i;
        EXPECT_FLOAT_EQ(q.v[2].y, corners[i].bottom) << i;
    }
    // The window's quad is the virtual screen, four times its size.
    const auto onto_window = std::find_if(quads.begin(), quads.end(),
                                          [](const auto &q) { return q.target == 0; });
    ASSERT_NE(onto_window, quads.end());
    EXPECT_FLOAT_EQ(onto_window->quad.v[2].x, WINDOW_LENGTH);
    EXPECT_FLOAT_EQ(onto_window->quad.v[2].y, WINDOW_HEIGHT);
    // The sky covers the whole screen: nothing stays transparent.
    EXPECT_EQ(screen.At(0, 0) >> 24, 0xFFu);
    EXPECT_EQ(screen.At(255, 191) >> 24, 0xFFu);
}

TEST(FrameComposition, CloudsPassInFrontOfTheSun)
{
    const Pixels clouds = hgeTesting::LoadPNG(torvek_test::DataDir() + "/Images/Background/TRVK_clouds.png");
    const Pixels sun = hgeTesting::LoadPNG(torvek_test::DataDir() + "/Images/Background/TRVK_sun.png");
    ASSERT_EQ(clouds.width, 256);
    ASSERT_EQ(sun.width, 58);
    const Shot shot = ShotAfter(TO_MATCH);
    // The first match frame has moved the sun one step, to 182.05: its
    // pixels land where 182 puts them.
    int covered = 0;
    for (int y = 22; y < 80; ++y)
        for (int x = 153; x < 211; ++x) {
            const uint32_t cloud = clouds.At(x, y - 6);
            const uint32_t sun_pixel = sun.At(x - 153, y - 22);
            if (cloud >> 24 != 0xFF || sun_pixel >> 24 == 0 || cloud == sun_pixel)
                continue;
            EXPECT_EQ(shot.screen.At(x, y) & RGB_MASK, cloud & RGB_MASK) << x << "," << y;
            ++covered;
        }
    EXPECT_GT(covered, 0) << "no opaque cloud passes over the sun's first position";
}
