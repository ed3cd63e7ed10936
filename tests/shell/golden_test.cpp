// Pictures of the four menu screens and of the first match frame, compared
// pixel for pixel with the reference pictures beside this file. When a
// picture changes on purpose, run the tests with TORVEK_UPDATE_GOLDEN=1 and
// look at the new references before committing them.
#include <gtest/gtest.h>

#include "main.h"
#include "torvek_test.h"

namespace {

hgeTesting::Pixels ScreenAfter(const std::vector<int> &keys)
{
    hgeTesting::Pixels screen;
    torvek_test::RunGame(keys, [&](int frame) {
        if (frame + 1 < static_cast<int>(keys.size()))
            return false;
        screen = hgeTesting::ReadTarget(t_window_main);
        return true;
    });
    return screen;
}

void ExpectGolden(const std::vector<int> &keys, const std::string &name)
{
    const std::string difference =
        torvek_test::CompareWithGolden(ScreenAfter(keys), "shell", name);
    EXPECT_EQ(difference, "");
}

}  // namespace

TEST(GoldenScreens, Title) { ExpectGolden({0}, "title"); }
TEST(GoldenScreens, MainMenu) { ExpectGolden({HGEK_ENTER}, "menu"); }
TEST(GoldenScreens, Options) { ExpectGolden({HGEK_ENTER, HGEK_I}, "options"); }
TEST(GoldenScreens, Credits) { ExpectGolden({HGEK_ENTER, HGEK_K}, "credits"); }
// The seed fixes the side that moves first, whose hand is shown.
TEST(GoldenScreens, FirstMatchFrame) { ExpectGolden({HGEK_ENTER, HGEK_N}, "match"); }
