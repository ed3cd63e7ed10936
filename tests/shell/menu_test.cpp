// The title, menu, options and credits screens, driven key by key through
// the real program.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

#include "board.h"
#include "main.h"
#include "match.h"
#include "menu.h"
#include "pieces.h"
#include "torvek_test.h"

using torvek_test::RunGame;

namespace {

// The screen after every frame, until the loop ends.
std::vector<int> ScreensAfterEachFrame(const std::vector<int> &keys, int *exit_code = nullptr)
{
    std::vector<int> screens;
    const int code = RunGame(keys, [&](int frame) {
        screens.push_back(menu_screen);
        return frame + 1 >= static_cast<int>(keys.size()) + 2;  // two idle frames after the keys
    });
    if (exit_code)
        *exit_code = code;
    return screens;
}

}  // namespace

TEST(MenuScreens, EnterThenNStartsAMatchInTwoFrames)
{
    std::set<int> first_sides;
    for (uint32_t seed = 1; seed <= 16; ++seed) {
        bool in_match_after_two = false;
        RunGame({HGEK_ENTER, HGEK_N}, [&](int frame) {
            if (frame == 1) {
                in_match_after_two = hge->System_GetState(HGE_FRAMEFUNC) == Game &&
                                     hge->System_GetState(HGE_RENDERFUNC) == Render_Game;
                first_sides.insert(game_turn);
                EXPECT_NE(opponent[0], nullptr);
                EXPECT_NE(opponent[1], nullptr);
                EXPECT_EQ(opponent[0]->Get_HandSize(), 6);
                EXPECT_EQ(opponent[1]->Get_HandSize(), 6);
                EXPECT_TRUE(opponent[0]->Get_Human());
                EXPECT_TRUE(opponent[1]->Get_Human());
                EXPECT_EQ(menu_screen, MAIN_MENU);
                return true;
            }
            return false;
        }, seed);
        EXPECT_TRUE(in_match_after_two) << "seed " << seed;
        hgeTesting::Reset();
    }
    // The first side to move is drawn at random: both come up across seeds.
    EXPECT_EQ(first_sides, (std::set<int>{0, 1}));
}

TEST(MenuScreens, WalkThroughEveryScreenAndQuit)
{
    int exit_code = -1;
    const std::vector<int> screens = ScreensAfterEachFrame(
        {HGEK_ENTER, HGEK_I, HGEK_ESCAPE, HGEK_K, HGEK_ESCAPE, HGEK_ESCAPE}, &exit_code);
    // The last Escape, on the main menu, ends the loop in its own frame.
    EXPECT_EQ(screens, (std::vector<int>{MAIN_MENU, OPTIONS_SCREEN, MAIN_MENU, CREDITS_SCREEN,
                                         MAIN_MENU}));
    EXPECT_EQ(hgeTesting::FrameCount(), 6);
    EXPECT_EQ(exit_code, 0);
}

TEST(MenuScreens, KeysOutsideTheirScreenChangeNothing)
{
    // N, I and K on the title screen; Enter and C on the main menu; Enter,
    // N, I, K on options and credits.
    const std::vector<int> screens = ScreensAfterEachFrame({
        HGEK_N, HGEK_I, HGEK_K, HGEK_C, HGEK_SPACE,  // title
        HGEK_ENTER,                                  // to the menu
        HGEK_ENTER, HGEK_C, HGEK_SPACE, HGEK_BACKSPACE, HGEK_LEFT,
        HGEK_I,                                      // to options
        HGEK_ENTER, HGEK_N, HGEK_I, HGEK_K,
        HGEK_ESCAPE, HGEK_K,                         // to credits
        HGEK_ENTER, HGEK_N, HGEK_I, HGEK_K,
    });
    const std::vector<int> expected = {
        TITLE_SCREEN, TITLE_SCREEN, TITLE_SCREEN, TITLE_SCREEN, TITLE_SCREEN,
        MAIN_MENU,
        MAIN_MENU, MAIN_MENU, MAIN_MENU, MAIN_MENU, MAIN_MENU,
        OPTIONS_SCREEN,
        OPTIONS_SCREEN, OPTIONS_SCREEN, OPTIONS_SCREEN, OPTIONS_SCREEN,
        MAIN_MENU, CREDITS_SCREEN,
        CREDITS_SCREEN, CREDITS_SCREEN, CREDITS_SCREEN, CREDITS_SCREEN,
        CREDITS_SCREEN, CREDITS_SCREEN,
    };
    EXPECT_EQ(screens, expected);
    // No match was started along the way.
    EXPECT_EQ(opponent[0], nullptr);
}

TEST(MenuScreens, EscapeOnOptionsAndCreditsNeverEndsTheProgram)
{
    int exit_code = -1;
    const std::vector<int> screens = ScreensAfterEachFrame(
        {HGEK_ENTER, HGEK_I, HGEK_ESCAPE, HGEK_K, HGEK_ESCAPE, HGEK_I, HGEK_ESCAPE}, &exit_code);
    // All seven keys and the two idle frames ran: no Escape ended the loop.
    EXPECT_EQ(screens.size(), 9u);
    EXPECT_EQ(screens.back(), MAIN_MENU);
}

TEST(MenuScreens, EscapeOnTheTitleScreenEndsTheProgramAtOnce)
{
    int exit_code = -1;
    const std::vector<int> screens = ScreensAfterEachFrame({HGEK_ESCAPE, HGEK_ENTER}, &exit_code);
    EXPECT_TRUE(screens.empty());
    EXPECT_EQ(hgeTesting::FrameCount(), 1);
    EXPECT_EQ(exit_code, 0);
}

// A click or a tap does what the key of a screen does: anywhere on the title,
// options and credits, only on a line of the main menu (that line's key).
TEST(MenuScreens, ClicksDoWhatTheKeysDo)
{
    // The middle of a virtual pixel in the 1024x768 window at 4x.
    const auto window = [](int virtual_pixel) { return virtual_pixel * 4 + 2; };
    const auto click = [=](int x, int y, int button = HGEK_LBUTTON) {
        return [=] { hgeTesting::ClickPointer(window(x), window(y), button); };
    };
    // The lines of the main menu, centred on x 128, each a line of the font high from its y.
    const std::vector<std::pair<std::function<void()>, int>> steps = {
        {[=] { hgeTesting::TapPointer(window(30), window(180)); }, MAIN_MENU},
        {click(128, 113), OPTIONS_SCREEN},   // "I - Go to the options"
        {click(250, 5, HGEK_RBUTTON), MAIN_MENU},
        {click(128, 123), MAIN_MENU},        // "C - Read a neato note": nothing
        {click(128, 141), MAIN_MENU},        // under the last line
        {click(230, 133), MAIN_MENU},        // right of a line
        {click(128, 30), MAIN_MENU},         // a line of no key
        {click(128, 133, HGEK_RBUTTON), MAIN_MENU},
        {click(128, 133), CREDITS_SCREEN},   // "K - Read them credits"
        {click(2, 184), MAIN_MENU},
        {click(70, 103), MAIN_MENU},         // "N - Start game please"
    };
    std::vector<int> screens, expected;
    for (const auto &step : steps)
        expected.push_back(step.second);
    bool in_match = false;
    // Each step after a frame, seen after the next.
    RunGame({}, [&](int frame) {
        if (frame > 0)
            screens.push_back(menu_screen);
        if (frame < static_cast<int>(steps.size())) {
            steps[frame].first();
            return false;
        }
        in_match = hge->System_GetState(HGE_FRAMEFUNC) == Game;
        return true;
    });
    EXPECT_EQ(screens, expected);
    EXPECT_TRUE(in_match);
}
