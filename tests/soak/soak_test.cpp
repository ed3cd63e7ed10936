// The real program from its title screen, played by seeded random keys and
// now and then the mouse or a finger, on a virtual clock of varying steps,
// with every promise of a match checked after every frame. The test run plays a few tens of thousands of frames; a long
// run takes the frame count and seed from the environment:
//   TORVEK_SOAK_FRAMES=1000000 TORVEK_SOAK_SEED=7 build-asan/tests/test_soak
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "hge_entry.h"
#include "hge_testing.h"
#include "main.h"
#include "pieces.h"
#include "soak_watch.h"
#include "torvek_test.h"

namespace {

long From_Environment(const char *name, long fallback)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return fallback;
    char *end = nullptr;
    const long number = std::strtol(value, &end, 10);
    return *end == '\0' && number > 0 ? number : fallback;
}

struct Soak_Result {
    int exit_code = -1;
    long frames_run = 0;
    soak::Tally tally;
    std::string problem;
};

// Escape is only sent once the frames are played; a program that does not
// end on it within a few frames is stopped.
constexpr int FRAMES_TO_END = 8;

// The window is a little larger than the picture at 4x: bars all round.
constexpr int WINDOW_WIDTH = 1100, WINDOW_HEIGHT = 850;
constexpr int LEFT_BAR = (WINDOW_WIDTH - 1024) / 2, TOP_BAR = (WINDOW_HEIGHT - 768) / 2;

// In one frame of three, a move of the mouse, a click, a right click or a
// tap: mostly over the hand and the board, else anywhere, bars included. It
// only counts in a frame without a key.
void Random_Pointer(std::mt19937 &random)
{
    auto draw = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
    if (draw(3) != 0)
        return;
    int x = draw(WINDOW_WIDTH), y = draw(WINDOW_HEIGHT);
    if (draw(10) < 7) {
        x = LEFT_BAR + 4 * (10 + draw(180)) + draw(4);
        y = TOP_BAR + 4 * (105 + draw(85)) + draw(4);
    }
    switch (draw(10)) {
    case 0: case 1: case 2: case 3: hgeTesting::MovePointer(x, y); break;
    case 4: case 5: case 6: hgeTesting::ClickPointer(x, y); break;
    case 7: hgeTesting::ClickPointer(x, y, HGEK_RBUTTON); break;
    default: hgeTesting::TapPointer(x, y); break;
    }
}

Soak_Result Soak(long frames, uint32_t seed, const std::vector<std::string> &words = {})
{
    soak::Match_Watch watch;
    soak::Key_Mix keys(seed);
    std::mt19937 pointer(seed + 1);
    Soak_Result result;
    double now = 1000.0;

    // The game's data lies in the build folder, wherever the run is started from.
    std::filesystem::current_path(torvek_test::DataDir());
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(0.0f, static_cast<float>(now));
    hgeTesting::SetSeed(seed);
    hgeTesting::QueueKeys({keys.Next_Key()});
    hgeTesting::SetFrameHook([&](int frame) {
        result.problem = watch.After_Frame();
        if (!result.problem.empty()) {
            result.problem = "frame " + std::to_string(frame) + ": " + result.problem;
            return true;
        }
        if (frame >= frames + FRAMES_TO_END)
            return true;
        if (frame == 0)
            hgeTesting::ResizeWindow(WINDOW_WIDTH, WINDOW_HEIGHT);
        Random_Pointer(pointer);
        hgeTesting::QueueKeys({frame + 1 >= frames ? HGEK_ESCAPE : keys.Next_Key()});
        now += keys.Next_Step();
        hgeTesting::SetTime(static_cast<float>(now));
        return false;
    });
    result.exit_code = RunWinMain(words);
    result.frames_run = hgeTesting::FrameCount();
    result.tally = watch.Counts();
    hgeTesting::Reset();
    return result;
}

TEST(Soak, RandomPlayKeepsEveryPromiseOfTheMatch)
{
    const long frames = From_Environment("TORVEK_SOAK_FRAMES", 30000);
    const uint32_t seed = static_cast<uint32_t>(From_Environment("TORVEK_SOAK_SEED", 1));
    const Soak_Result result = Soak(frames, seed);
    std::cout << "soak, seed " << seed << ": " << result.tally.Summary() << std::endl;

    EXPECT_EQ(result.problem, "");
    if (!result.problem.empty())
        return;
    EXPECT_EQ(result.exit_code, 0);
    // Escape, sent after the last frame, ends the program in the frame it comes.
    EXPECT_EQ(result.frames_run, frames + 1) << "the program did not end on Escape";
    EXPECT_GT(result.tally.match_frames, frames * 9 / 10) << "the keys did not start a match";
    // The keys play real rounds: captures, stand-offs and won rounds. Wins
    // with all pieces are rarer, about one in thirty thousand frames; the
    // long run counts them.
    EXPECT_GT(result.tally.captures, 0);
    EXPECT_GT(result.tally.stand_offs, 0);
    EXPECT_GT(result.tally.full_combo_wins, 0);
}

}  // namespace

// A person's random keys against the computer, and the computer against
// itself: the same promises, every computer move legal, and a computer side
// to move never stuck.
TEST(Soak, ComputerSidesKeepEveryPromiseOfTheMatch)
{
    const long frames = From_Environment("TORVEK_SOAK_FRAMES", 30000) / 3;
    const uint32_t seed = static_cast<uint32_t>(From_Environment("TORVEK_SOAK_SEED", 1));
    const std::vector<std::string> players[] = {
        {"--computer", "stripes"}, {"--computer", "both", "--level", "easy"}, {"--computer", "both"}};
    for (const std::vector<std::string> &words : players) {
        std::string shown;
        for (const std::string &word : words)
            shown += (shown.empty() ? "" : " ") + word;
        SCOPED_TRACE(shown);
        const Soak_Result result = Soak(frames, seed, words);
        std::cout << "soak, seed " << seed << ", " << shown << ": " << result.tally.Summary() << std::endl;
        EXPECT_EQ(result.problem, "");
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_GT(result.tally.captures, 0);
        EXPECT_GT(result.tally.full_combo_wins + result.tally.all_pieces_wins, 0);
    }
}
