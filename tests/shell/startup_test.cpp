// Start-up and shutdown of the real program: the failure path, quitting
// before and during a match, and the command line.
#include <gtest/gtest.h>

#include "board.h"
#include "computer.h"
#include "main.h"
#include "pieces.h"
#include "torvek_test.h"

using torvek_test::RunGame;

TEST(StartUp, AFailedEngineStartEndsAtOnceWithExitCodeOne)
{
    hgeTesting::FailNextInitiate();
    int frames_run = 0;
    const int code = RunGame({HGEK_ENTER}, [&](int) { return ++frames_run > 10; });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(frames_run, 0);
    EXPECT_EQ(hgeTesting::FrameCount(), 0);
    // The engine's log says why; nothing was loaded, so nothing else is logged.
    EXPECT_FALSE(hgeTesting::LogLines().empty());
    EXPECT_EQ(font1, nullptr);
    EXPECT_EQ(s_sky, nullptr);
    EXPECT_EQ(t_window_main, 0u);
}

TEST(StartUp, EveryResourceLoadsWithoutALogLine)
{
    bool checked = false;
    RunGame({0}, [&](int) {
        for (HTEXTURE t : {t_clouds, t_ground, t_sky, t_sun, t_hge, t_pieces, t_board, t_select, t_combo})
            EXPECT_NE(t, 0u);
        EXPECT_NE(t_window_main, 0u);
        EXPECT_GT(font1->GetHeight(), 0.0f);
        EXPECT_GT(font2->GetHeight(), 0.0f);
        checked = true;
        return true;
    });
    EXPECT_TRUE(checked);
    EXPECT_TRUE(hgeTesting::LogLines().empty()) << hgeTesting::LogLines().front();
}

TEST(StartUp, QuittingFromTheMenusLeavesNoPlayersToFree)
{
    EXPECT_EQ(RunGame({HGEK_ENTER, HGEK_K, HGEK_ESCAPE, HGEK_ESCAPE}), 0);
    EXPECT_EQ(opponent[0], nullptr);
    EXPECT_EQ(opponent[1], nullptr);
    EXPECT_EQ(s_window_main, nullptr);
    EXPECT_EQ(font1, nullptr);
}

TEST(StartUp, QuittingMidRoundFreesHandsAndCellsOnce)
{
    // Place a piece and let its animation finish, so pieces stand in a
    // cell and wait in both hands when Escape comes.
    std::vector<int> keys = {HGEK_ENTER, HGEK_N, HGEK_SPACE, HGEK_SPACE};
    keys.resize(keys.size() + 4 * 60, 0);
    keys.push_back(HGEK_ESCAPE);
    int on_board = -1;
    const int code = RunGame(keys, [&](int) {
        on_board = 0;
        for (Piece *piece : board_array)
            on_board += piece != nullptr;
        EXPECT_EQ(Count_Pieces(), opponent[0] ? 12 : 0);
        return false;
    }, 1, 10.0f);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(on_board, 1);
    // Shutdown emptied the cells and dropped the players.
    for (Piece *piece : board_array)
        EXPECT_EQ(piece, nullptr);
    EXPECT_EQ(opponent[0], nullptr);
}

// What every frame drew, quad by quad, as text that two runs can be compared by.
static std::vector<std::string> Frames_Drawn(const std::vector<int> &keys,
                                             const std::vector<std::string> &words = {})
{
    std::vector<std::string> frames;
    hgeTesting::RecordQuads(true);
    RunGame(keys, [&](int) {
        std::string drawn;
        for (const hgeTesting::RecordedQuad &record : hgeTesting::Quads())
            for (const hgeVertex &v : record.quad.v)
                drawn += std::to_string(v.x) + "," + std::to_string(v.y) + "," +
                         std::to_string(v.tx) + "," + std::to_string(v.ty) + ";";
        frames.push_back(drawn);
        hgeTesting::ClearQuads();
        return false;
    }, 1, 0.0f, words);
    hgeTesting::Reset();
    return frames;
}

TEST(StartUp, ASecondRunInOneProcessStartsAsTheFirst)
{
    // The first run ends mid-match: the sun has moved, a placing is playing
    // and the main menu was the last menu screen.
    std::vector<int> keys = {HGEK_ENTER, HGEK_N, HGEK_SPACE, HGEK_SPACE, 0, 0, HGEK_ESCAPE};
    const std::vector<std::string> first = Frames_Drawn(keys);
    const std::vector<std::string> second = Frames_Drawn(keys);
    // Escape ends the program before its frame is drawn.
    ASSERT_EQ(first.size(), keys.size() - 1);
    EXPECT_EQ(second, first);

    // The computer too plays its second run as its first, whatever it
    // remembered of the first: the placings of its first round.
    std::vector<int> watching = {HGEK_ENTER, HGEK_N};
    watching.resize(60 * 12, 0);
    watching.push_back(HGEK_ESCAPE);
    const std::vector<std::string> computer_first = Frames_Drawn(watching, {"--computer", "both"});
    EXPECT_EQ(Frames_Drawn(watching, {"--computer", "both"}), computer_first);
}

// The words as a test's trace shows them, cut short.
static std::string Shown(const std::vector<std::string> &words)
{
    std::string line;
    for (const std::string &word : words)
        line += (line.empty() ? "" : " ") + word;
    return line.substr(0, 60);
}

// --help and --version answer and end; a word the program does not know ends
// it with status 2 and a line that says what is wrong, echoing the word cut
// short. None opens a window. Every word arrives whole: blanks, tabs, quotes
// and backslashes inside one are its own, and an empty word is a word.
TEST(CommandLine, AnswersHelpAndVersionAndRefusesWhatItDoesNotKnow)
{
    struct Case {
        std::vector<std::string> words;
        int status;
        const char *out;  // on standard output
        const char *err;  // on standard error
    };
    const std::string pasted(100000, 'x');
    const Case cases[] = {
        {{"--help"}, 0, "--computer SIDE", ""},
        {{"-h"}, 0, "--computer SIDE", ""},
        {{"--level", "easy", "--help"}, 0, "--computer SIDE", ""},
        {{"--version"}, 0, "torvek ", ""},
        {{"--computer"}, 2, "", "--computer needs a value"},
        {{"--computer", "--level", "easy"}, 2, "", "--computer needs a value"},
        {{"--computer", "nobody"}, 2, "", "solids, stripes or both"},
        {{"--computer=both", "--level", "middling"}, 2, "", "--level middling: expected easy, medium or hard"},
        {{"--help=me"}, 2, "", "takes no value"},
        {{"--bogus=1"}, 2, "", "unknown option --bogus\n"},
        {{"-x"}, 2, "", "unknown option -x"},
        {{"--computer", pasted}, 2, "", "--computer xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...: expected"},
        {{"--" + pasted + "=1"}, 2, "", "unknown option --xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\n"},
        // The value's 40th byte starts a two-byte character: cut before it.
        {{"--level", std::string(39, 'a') + "\u00e9\u00e9"}, 2, "", "aa...: expected"},
        {{"--level=easy hard"}, 2, "", "--level easy hard: expected"},
        {{"--level", "say \"hi\" \\ to\tC:\\Games\\"}, 2, "", "--level say \"hi\" \\ to\tC:\\Games\\: expected"},
        {{"--level", "\"easy\""}, 2, "", "--level \"easy\": expected"},
        {{"--level", ""}, 2, "", "--level : expected"},
        {{"--computer", "both", "--level=easy hard"}, 2, "", "--level easy hard: expected"},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = RunWinMain(c.words);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string shown = Shown(c.words);
        EXPECT_EQ(status, c.status) << shown;
        EXPECT_NE(out.find(c.out), std::string::npos) << shown << ": " << out;
        EXPECT_NE(err.find(c.err), std::string::npos) << shown << ": " << err.substr(0, 200);
        if (c.status == 2) {
            EXPECT_NE(err.find("--help"), std::string::npos) << shown;
            EXPECT_LT(err.size(), 200u) << shown;
        } else {
            EXPECT_EQ(err, "") << shown;
        }
    }
    EXPECT_EQ(hgeTesting::FrameCount(), 0);
    EXPECT_EQ(hge, nullptr);
}

// Options that start the game: of a repeated option the last counts, and a
// level without a computer to play it starts the game for two players as
// usual but says that it changes nothing.
TEST(CommandLine, TheLastOfARepeatedOptionCountsAndALevelAloneOnlyWarns)
{
    struct Case {
        std::vector<std::string> words;
        bool solids_human, stripes_human;
        int level;
        bool warns;
    };
    const Case cases[] = {
        {{"--computer", "stripes", "--computer", "solids"}, false, true, LEVEL_HARD, false},
        {{"--computer", "solids", "--computer", "both"}, false, false, LEVEL_HARD, false},
        {{"--computer", "both", "--level", "easy", "--level", "hard"}, false, false, LEVEL_HARD, false},
        {{"--level", "easy", "--computer=stripes"}, true, false, LEVEL_EASY, false},
        {{"--level", "easy"}, true, true, LEVEL_EASY, true},
        {{"--fullscreen", "--window", "--level=hard"}, true, true, LEVEL_HARD, true},
    };
    for (const Case &c : cases) {
        bool humans[SIDES] = {};
        bool windowed = false;
        testing::internal::CaptureStderr();
        const int status = RunGame({HGEK_ENTER, HGEK_N, 0, HGEK_ESCAPE}, [&](int) {
            if (opponent[SOLIDS]) {
                for (int side = SOLIDS; side < SIDES; ++side)
                    humans[side] = opponent[side]->Get_Human();
                windowed = hge->System_GetState(HGE_WINDOWED);
            }
            return false;
        }, 1, 0.0f, c.words);
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string shown = Shown(c.words);
        EXPECT_EQ(status, 0) << shown;
        EXPECT_EQ(humans[SOLIDS], c.solids_human) << shown;
        EXPECT_EQ(humans[STRIPES], c.stripes_human) << shown;
        EXPECT_EQ(computer_level, c.level) << shown;
        EXPECT_TRUE(windowed) << shown;
        EXPECT_EQ(err.find("--level changes nothing without --computer") != std::string::npos, c.warns)
            << shown << ": " << err;
        hgeTesting::Reset();
    }
}
