// The engine's life and frame loop: references, start-up failures, the order
// of frame and render functions, the clock, keys and random numbers.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine_test.h"
#include "key_events.h"

using engine_test::HeadlessEngine;
using engine_test::UseHeadlessSeam;

namespace {

TEST(EngineLife, EveryCreateSharesOneEngineAndTheLastReleaseClosesIt)
{
    UseHeadlessSeam();
    HGE *first = hgeCreate(HGE_VERSION);
    HGE *second = hgeCreate(HGE_VERSION);
    ASSERT_EQ(first, second);
    ASSERT_TRUE(first->System_Initiate());
    HTARGET target = first->Target_Create(8, 8, false);
    ASSERT_NE(target, 0u);

    // Still open while one reference remains.
    second->Release();
    EXPECT_TRUE(first->Gfx_BeginScene(target));
    first->Gfx_EndScene();
    EXPECT_EQ(first->Texture_GetWidth(first->Target_GetTexture(target)), 8);

    // The last one frees the target with everything else; a new engine
    // starts closed, with the default states.
    first->System_SetState(HGE_SCREENWIDTH, 640);
    first->Release();
    HGE *fresh = hgeCreate(HGE_VERSION);
    EXPECT_EQ(fresh->Texture_GetWidth(target), 0);
    EXPECT_FALSE(fresh->Gfx_BeginScene(0));
    EXPECT_NE(fresh->System_GetState(HGE_SCREENWIDTH), 640);
    fresh->Release();
}

TEST(EngineLife, ShutdownFreesEverythingOnceAndMaySafelyBeRepeated)
{
    UseHeadlessSeam();
    HGE *hge = hgeCreate(HGE_VERSION);
    ASSERT_TRUE(hge->System_Initiate());
    HTARGET target = hge->Target_Create(16, 16, true);
    HTEXTURE texture = hge->Target_GetTexture(target);
    // Freeing a target's texture by itself would leave the target without one.
    hge->Texture_Free(texture);
    EXPECT_EQ(hge->Texture_GetWidth(texture), 16);

    hge->System_Shutdown();
    hge->System_Shutdown();
    hge->Target_Free(target);
    hge->Texture_Free(texture);
    EXPECT_EQ(hge->Texture_GetWidth(texture), 0);
    // The engine opens again after a shutdown.
    ASSERT_TRUE(hge->System_Initiate());
    EXPECT_NE(hge->Target_Create(4, 4, false), 0u);
    hge->Release();
}

TEST(EngineLife, FailedInitiateReportsWhyAndLeavesShutdownSafe)
{
    UseHeadlessSeam();
    hgeTesting::FailNextInitiate();
    HGE *hge = hgeCreate(HGE_VERSION);
    EXPECT_FALSE(hge->System_Initiate());
    ASSERT_EQ(hgeTesting::LogLines().size(), 1u);
    EXPECT_EQ(hgeTesting::LogLines()[0], "no display: set DISPLAY or WAYLAND_DISPLAY");

    EXPECT_FALSE(hge->System_Start());
    EXPECT_EQ(hge->Texture_Load("anything.png"), 0u);
    EXPECT_EQ(hge->Target_Create(256, 192, true), 0u);
    hge->Texture_Free(0);
    hge->Target_Free(0);
    hge->System_Shutdown();
    hge->Release();
}

TEST(EngineLife, WithoutADisplayTheInvisibleFallbackCountsAsFailureAndTheLogSaysWhy)
{
    // A display number no X server runs on here.
    int number = 97;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
        ++number;
    const std::string named = ":" + std::to_string(number);
    for (const std::string &display : {std::string(), named}) {
        hgeTesting::Reset();
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        if (display.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", display.c_str(), 1);
        HGE *hge = hgeCreate(HGE_VERSION);
        // The player's platform keeps no lines for the seam: its log is what
        // a player reads on standard error.
        testing::internal::CaptureStderr();
        bool opened = hge->System_Initiate();
        const std::string log = testing::internal::GetCapturedStderr();
        // A machine with a console display may open one; an invisible one never.
        if (opened) {
            std::string driver = SDL_GetCurrentVideoDriver();
            EXPECT_NE(driver, "offscreen");
            EXPECT_NE(driver, "dummy");
        } else if (display.empty()) {
            EXPECT_NE(log.find("no display: set DISPLAY or WAYLAND_DISPLAY\n"), std::string::npos) << log;
        } else {
            // Not asked to set what is set already: told which display failed.
            EXPECT_NE(log.find("can't open display " + named + ": no X server is running there\n"),
                      std::string::npos) << log;
        }
        hge->System_Shutdown();
        hge->Release();
    }
}

TEST(EngineLife, AnInvisibleDriverAskedForInTheEnvironmentIsAccepted)
{
    hgeTesting::Reset();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    HGE *hge = hgeCreate(HGE_VERSION);
    EXPECT_TRUE(hge->System_Initiate());
    hge->System_Shutdown();
    hge->Release();
}

TEST(EngineLife, WindowTitleDefaultsToTheExecutableName)
{
    UseHeadlessSeam();
    HGE *hge = hgeCreate(HGE_VERSION);
    EXPECT_STREQ(hge->System_GetState(HGE_TITLE), "test_engine");
    hge->System_SetState(HGE_TITLE, "Chosen");
    ASSERT_TRUE(hge->System_Initiate());
    EXPECT_STREQ(SDL_GetWindowTitle(SDL_GetWindowFromID(1)), "Chosen");
    hge->Release();
}

// ---------------------------------------------------------------- frame loop

std::vector<std::string> calls;
HGE *loop_hge = nullptr;

bool Render_Second()
{
    calls.push_back("render second");
    return false;
}

bool Frame_Second()
{
    calls.push_back("frame second");
    return calls.size() >= 5;
}

bool Render_First()
{
    calls.push_back("render first");
    return false;
}

bool Frame_First()
{
    calls.push_back("frame first");
    if (calls.size() > 2) {
        loop_hge->System_SetState(HGE_FRAMEFUNC, Frame_Second);
        loop_hge->System_SetState(HGE_RENDERFUNC, Render_Second);
    }
    return false;
}

class FrameLoop : public HeadlessEngine {
protected:
    void SetUp() override
    {
        calls.clear();
        HeadlessEngine::SetUp();
        loop_hge = hge;
    }
};

TEST_F(FrameLoop, FunctionsReplacedInsideTheFrameFunctionTakeEffectInTheSameFrame)
{
    hge->System_SetState(HGE_FRAMEFUNC, Frame_First);
    hge->System_SetState(HGE_RENDERFUNC, Render_First);
    EXPECT_TRUE(hge->System_Start());
    // The frame function that ends the loop is the last call: no render after it.
    std::vector<std::string> expected = {"frame first", "render first", "frame first",
                                         "render second", "frame second"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(hgeTesting::FrameCount(), 3);
    EXPECT_EQ(hge->System_GetState(HGE_FRAMEFUNC), Frame_Second);
}

bool Frame_Forever()
{
    calls.push_back("frame");
    return false;
}

TEST_F(FrameLoop, TheHookAndTheWindowsCloseButtonEndTheLoop)
{
    hge->System_SetState(HGE_FRAMEFUNC, Frame_Forever);
    hgeTesting::SetFrameHook([](int frame) { return frame == 4; });
    hge->System_Start();
    EXPECT_EQ(hgeTesting::FrameCount(), 5);

    calls.clear();
    hgeTesting::SetFrameHook([](int frame) {
        if (frame == 1) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        return false;
    });
    hge->System_Start();
    // The close is seen before the third frame function runs.
    EXPECT_EQ(calls.size(), 2u);
}

std::vector<float> times;

bool Frame_Timed()
{
    times.push_back(loop_hge->Timer_GetTime());
    return times.size() == 150;
}

TEST_F(FrameLoop, VirtualClockStepsOnceAFrameAndTheFrameRateFollowsIt)
{
    times.clear();
    hgeTesting::UseVirtualClock(0.02f, 3.0f);
    hge->System_SetState(HGE_FRAMEFUNC, Frame_Timed);
    hge->System_SetState(HGE_RENDERFUNC, [] {
        loop_hge->Gfx_BeginScene(0);
        loop_hge->Gfx_EndScene();
        return false;
    });
    hge->System_Start();
    ASSERT_EQ(times.size(), 150u);
    EXPECT_FLOAT_EQ(times[0], 3.0f);
    EXPECT_NEAR(times[1], 3.02f, 1e-5);
    EXPECT_NEAR(times[149], 3.0f + 149 * 0.02f, 1e-4);
    EXPECT_EQ(hge->Timer_GetFPS(), 50);
}

TEST_F(FrameLoop, StartRefusesToRunWithoutAFrameFunction)
{
    EXPECT_FALSE(hge->System_Start());
    EXPECT_EQ(hgeTesting::LogLines().size(), 1u);
}

// ---------------------------------------------------------------- keys

std::vector<int> keys_seen;

bool Frame_ReadKeys()
{
    int key = loop_hge->Input_GetKey();
    // Every call in one frame answers the same.
    EXPECT_EQ(loop_hge->Input_GetKey(), key);
    keys_seen.push_back(key);
    return false;
}

class Keys : public FrameLoop {
protected:
    void SetUp() override
    {
        keys_seen.clear();
        FrameLoop::SetUp();
        hge->System_SetState(HGE_FRAMEFUNC, Frame_ReadKeys);
    }

    // Runs one frame per entry; the keys of an entry are pressed before its frame.
    void RunFrames(std::vector<std::vector<SDL_Keycode>> presses)
    {
        hgeTesting::SetFrameHook([presses](int frame) {
            if (frame + 1 >= static_cast<int>(presses.size()))
                return true;
            for (SDL_Keycode key : presses[frame + 1])
                PressKey(key);
            return false;
        });
        for (SDL_Keycode key : presses[0])
            PressKey(key);
        hge->System_Start();
    }
};

TEST_F(Keys, KeyboardKeysBecomeWindowsKeyCodes)
{
    const std::vector<std::pair<SDL_Keycode, int>> keys = {
        {SDLK_BACKSPACE, 8}, {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27},
        {SDLK_SPACE, 32},    {SDLK_LEFT, 37},   {SDLK_UP, 38},       {SDLK_RIGHT, 39},
        {SDLK_DOWN, 40},     {SDLK_0, 48},      {SDLK_9, 57},        {SDLK_a, 65},
        {SDLK_i, 73},        {SDLK_k, 75},      {SDLK_n, 78},        {SDLK_z, 90},
        {SDLK_F1, 112},      {SDLK_F12, 123},   {SDLK_KP_0, 0x60},   {SDLK_KP_9, 0x69},
        {SDLK_LSHIFT, 0x10}, {SDLK_TAB, 9},     {SDLK_DELETE, 0x2E}, {SDLK_PAGEDOWN, 0x22},
    };
    std::vector<std::vector<SDL_Keycode>> presses;
    std::vector<int> expected;
    for (auto [key, code] : keys) {
        presses.push_back({key});
        expected.push_back(code);
    }
    // A key the engine does not report gives 0.
    presses.push_back({SDLK_F20});
    expected.push_back(0);
    RunFrames(presses);
    EXPECT_EQ(keys_seen, expected);
}

TEST_F(Keys, ShiftedLettersGiveTheSameCode)
{
    hgeTesting::SetFrameHook([](int) { return true; });
    PressKey(SDLK_n, false, KMOD_LSHIFT);
    hge->System_Start();
    EXPECT_EQ(keys_seen, std::vector<int>{HGEK_N});
}

TEST_F(Keys, OnlyTheFirstKeyOfAFrameCountsAndNothingIsQueued)
{
    RunFrames({{SDLK_SPACE, SDLK_LEFT, SDLK_RIGHT}, {}, {SDLK_ESCAPE}});
    EXPECT_EQ(keys_seen, (std::vector<int>{HGEK_SPACE, 0, HGEK_ESCAPE}));
}

TEST_F(Keys, HeldKeysDoNotRepeat)
{
    hgeTesting::SetFrameHook([](int frame) {
        if (frame == 0)
            PressKey(SDLK_SPACE, true);
        return frame == 1;
    });
    PressKey(SDLK_SPACE);
    hge->System_Start();
    EXPECT_EQ(keys_seen, (std::vector<int>{HGEK_SPACE, 0}));
}

TEST_F(Keys, ScriptedKeysComeOnePerFrameAndTheKeyboardIsIgnored)
{
    hgeTesting::QueueKeys({HGEK_SPACE, 0});
    hgeTesting::QueueKeys({HGEK_ESCAPE});
    EXPECT_EQ(hgeTesting::PendingKeys(), 3u);
    RunFrames({{SDLK_LEFT}, {SDLK_UP}, {}, {SDLK_DOWN}});
    EXPECT_EQ(keys_seen, (std::vector<int>{HGEK_SPACE, 0, HGEK_ESCAPE, 0}));
    EXPECT_EQ(hgeTesting::PendingKeys(), 0u);
}

// Runs frames while `before_frame(n)` returns true, calling it ahead of frame n.
void RunWith(HGE *hge, const std::function<bool(int frame)> &before_frame)
{
    if (!before_frame(0))
        return;
    hgeTesting::SetFrameHook([before_frame](int frame) { return !before_frame(frame + 1); });
    hge->System_Start();
}

TEST_F(Keys, F11AndAltEnterSwitchFullscreenAndNeverReachTheGame)
{
    std::vector<bool> windowed;
    RunWith(hge, [&](int frame) {
        if (frame > 0)
            windowed.push_back(hge->System_GetState(HGE_WINDOWED));
        switch (frame) {
        case 0: PressKey(SDLK_F11); break;
        case 1: PressKey(SDLK_RETURN, false, KMOD_LALT); break;
        // Neither takes the frame's one key from a key of the game.
        case 2: PressKey(SDLK_F11); PressKey(SDLK_SPACE); break;
        case 3: PressKey(SDLK_RETURN); break;
        case 4: PressKey(SDLK_KP_ENTER, false, KMOD_RALT); break;
        // F11 held down switches once.
        case 5: PressKey(SDLK_F11); break;
        case 6: PressKey(SDLK_F11, true); break;
        default: return false;
        }
        return true;
    });
    EXPECT_EQ(keys_seen, (std::vector<int>{0, 0, HGEK_SPACE, HGEK_ENTER, 0, 0, 0}));
    EXPECT_EQ(windowed, (std::vector<bool>{false, true, false, false, true, false, false}));
    EXPECT_TRUE(SDL_GetWindowFlags(SDL_GetWindowFromID(1)) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(Keys, AKeyAlreadyDownWhenTheWindowOpensOrGetsTheFocusBackIsNoPress)
{
    // Escape held while the game starts; SDL reports it as pressed.
    hgeTesting::HoldKeys({HGEK_ESCAPE});
    RunWith(hge, [&](int frame) {
        switch (frame) {
        case 0: PushKey(SDL_KEYDOWN, SDLK_ESCAPE); break;
        case 1: PushKey(SDL_KEYUP, SDLK_ESCAPE); PushKey(SDL_KEYDOWN, SDLK_ESCAPE); break;
        case 2: {
            // Away and back with Escape still down.
            PushKey(SDL_KEYUP, SDLK_ESCAPE);
            SDL_Event focus{};
            focus.type = SDL_WINDOWEVENT;
            focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
            SDL_PushEvent(&focus);
            PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
            PushKey(SDL_KEYDOWN, SDLK_SPACE);
            break;
        }
        default: return false;
        }
        return true;
    });
    EXPECT_EQ(keys_seen, (std::vector<int>{0, HGEK_ESCAPE, HGEK_SPACE}));
}

// ---------------------------------------------------------------- gamepads

using hgeTesting::PadButton;

TEST_F(Keys, GamepadButtonsAreTheGamesKeysOnePressAFrame)
{
    const int pad = hgeTesting::PlugInPad();
    ASSERT_GE(pad, 0);
    const std::vector<std::vector<PadButton>> pressed = {
        {}, {PadButton::South}, {PadButton::East}, {PadButton::North}, {PadButton::Start},
        {PadButton::Back}, {PadButton::Up}, {PadButton::Down}, {PadButton::Left}, {PadButton::Right},
        {PadButton::LeftShoulder}, {PadButton::West},
        // Held down: no repeat.
        {PadButton::South}, {PadButton::South},
        // Two at once: the first counts, the other is not kept.
        {PadButton::East, PadButton::North}, {}};
    RunWith(hge, [&](int frame) {
        if (frame >= static_cast<int>(pressed.size()))
            return false;
        for (int b = 0; b <= static_cast<int>(PadButton::LeftShoulder); ++b) {
            const PadButton button = static_cast<PadButton>(b);
            const auto &now = pressed[frame];
            hgeTesting::SetPadButton(pad, button, std::find(now.begin(), now.end(), button) != now.end());
        }
        return true;
    });
    EXPECT_EQ(keys_seen, (std::vector<int>{0, HGEK_SPACE, HGEK_BACKSPACE, HGEK_N, HGEK_ENTER,
                                           HGEK_ESCAPE, HGEK_UP, HGEK_DOWN, HGEK_LEFT, HGEK_RIGHT, 0,
                                           0, HGEK_SPACE, 0, HGEK_BACKSPACE, 0}));
}

TEST_F(Keys, TheLeftStickMovesOncePerPushBeyondItsDeadZone)
{
    const int pad = hgeTesting::PlugInPad();
    ASSERT_GE(pad, 0);
    const std::vector<std::pair<float, float>> stick = {
        {0, 0},
        {0.3f, 0},     // within the dead zone
        {0.9f, 0},     // a push right
        {1, 0},        // held
        {0.4f, 0},     // eased back, not to rest
        {0.9f, 0},     // so this is no new push
        {0.1f, 0},     // at rest
        {0.9f, 0},     // a new push
        {-0.9f, 0},    // flicked across
        {0, -0.9f},    // up
        {0, 0.9f},     // down
        {0.9f, 0.9f},  // right while still down
        {0, 0}};
    RunWith(hge, [&](int frame) {
        if (frame >= static_cast<int>(stick.size()))
            return false;
        hgeTesting::SetPadStick(pad, stick[frame].first, stick[frame].second);
        return true;
    });
    EXPECT_EQ(keys_seen, (std::vector<int>{0, 0, HGEK_RIGHT, 0, 0, 0, 0, HGEK_RIGHT, HGEK_LEFT, HGEK_UP,
                                           HGEK_DOWN, HGEK_RIGHT, 0}));
}

// ---------------------------------------------------------------- random, log

TEST_F(HeadlessEngine, RandomIntegersIncludeBothEndsAndRepeatForASeed)
{
    hgeTesting::SetSeed(1234);
    std::vector<int> first;
    bool low = false, high = false;
    for (int i = 0; i < 1000; ++i) {
        int value = hge->Random_Int(-2, 3);
        ASSERT_GE(value, -2);
        ASSERT_LE(value, 3);
        low = low || value == -2;
        high = high || value == 3;
        first.push_back(value);
    }
    EXPECT_TRUE(low);
    EXPECT_TRUE(high);
    EXPECT_EQ(hge->Random_Int(7, 7), 7);
    int whole = hge->Random_Int(INT32_MIN, INT32_MAX);
    (void)whole;

    hgeTesting::SetSeed(1234);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(hge->Random_Int(-2, 3), first[i]);
}

TEST_F(HeadlessEngine, LogWritesWholeLinesHoweverLong)
{
    std::string long_word(5000, 'x');
    hge->System_Log("%s and %d", long_word.c_str(), 42);
    ASSERT_EQ(hgeTesting::LogLines().size(), 1u);
    EXPECT_EQ(hgeTesting::LogLines()[0], long_word + " and 42");
}

}  // namespace
