// Helpers of the match tests: headless runs of the whole program from the
// title screen into a match, positions set up through the rules' own
// operations, the keys of a move, and what a frame drew, read back from
// its quads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hge_testing.h"
#include "moves.h"

namespace match_test {

// Powers of two keep every frame time exact.
constexpr int FRAMES_PER_SECOND = 64;
constexpr float FRAME_STEP = 1.0f / FRAMES_PER_SECOND;
// Match frames before the first one shown: Enter on the title, N on the menu.
constexpr int MENU_FRAMES = 2;

// A piece as the player sees it: where it stands (the middle of its bottom
// edge), its side, its type, the combo mark drawn on it (0: none) and its depth.
struct Seen_Piece {
    float x, y;
    int owner, type, combo;
    float z;
};

// One print of a font: its letters left to right, and the box they cover.
struct Seen_Text {
    std::string text;
    float left, right, top;
    float last_letter = 0;  // left edge of the latest letter
    float Middle() const { return (left + right) / 2; }
};

struct Seen_Marker {
    bool hand;  // the hand marker, else the cell marker
    float x, y;  // where its hot spot was put
};

// What one frame drew on the virtual screen, in drawing order.
struct Screen {
    std::vector<Seen_Piece> pieces;
    std::vector<Seen_Marker> markers;
    std::vector<Seen_Text> scores;    // font1
    std::vector<Seen_Text> messages;  // font2
    int quads = 0;

    // The pieces standing on a cell's point, in drawing order.
    std::vector<Seen_Piece> At_Cell(int cell) const;
    // The pieces standing on the hand row.
    std::vector<Seen_Piece> In_Hand_Row() const;
    // Every message and score line as one text, lines joined by '|'.
    std::string Texts() const;
};

struct Frame {
    int index;   // 0 is the first frame of the match
    float time;  // the engine's clock in that frame
    Screen screen;
};

struct Options {
    uint32_t seed = 1;
    float start_time = 100.0f;
    float step = FRAME_STEP;  // seconds per frame
    // 0 or 1: the side to move once the match has started; otherwise the draw stands.
    int first_side = -1;
    // Runs once the match has started, before its first frame: a position to play from.
    std::function<void()> setup;
    // The words the program is started with, such as {"--computer", "both"}.
    std::vector<std::string> words;
    // A program that never reaches what the test waits for is stopped after
    // this much of its time, and the test fails.
    float max_seconds = 600;
};

// Runs the real program from the title screen into a match and calls
// `each_frame` after every match frame; true stops the program there.
// Returns what WinMain returned.
int Run_Match(const Options &options, const std::function<bool(const Frame &)> &each_frame);

// The state of the match after a frame, as the rules and the flow hold it.
struct Snapshot {
    int game_turn, game_phase, turn_phase;
    int selection[2];
    int transition, trans_phase;
    int trans_var[2];
    std::string board;    // Board_Text()
    std::string hand[2];  // Hand_Text(side)
    int points[2];
    std::vector<std::string> messages;  // the bag, oldest first
    int pieces;  // Count_Pieces()
};
Snapshot Take_Snapshot();

struct Record {
    Frame frame;
    Snapshot state;
};

// Runs a match and records every frame; `drive` sees each record as it is
// made, may press keys for the coming frames and returns true to stop.
std::vector<Record> Play(const Options &options,
                         const std::function<bool(const Record &)> &drive);

// The messages in the order they were announced: each batch once, in the
// frame where the bag fills again.
std::vector<std::string> Announcements(const std::vector<Record> &records);

// The first record from `from` on that satisfies `test`, or -1.
int Find(const std::vector<Record> &records, const std::function<bool(const Record &)> &test,
         int from = 0);

// Keys for the coming frames, one per frame.
void Press(const std::vector<int> &keys);

// The board as text, cell 0 first: "." for an empty cell, "s1" for a Solids
// piece of type 1, "t2^3" for a Stripes piece of type 2 at combo level 3.
std::string Board_Text();
// A hand as text: each piece's type, with "^combo" when it has one.
std::string Hand_Text(int side);
// Empties board and hands and deals the given position in the same notation
// (hands hold the types of their own side).
void Set_Position(const std::string &board, const std::string &solids_hand,
                  const std::string &stripes_hand);

// The keys that play a move from the cursors every turn starts with.
std::vector<int> Keys_For(const Move &move);
// True when the next frame hands its key to a keyboard handler at the first
// step of a turn, with no key still waiting and no win about to deal afresh.
bool Awaiting_Move();

// Points of the virtual screen a player points at: on a cell (its stone just
// behind its point, or the foot of the piece standing there) and in the
// middle of a piece in the hand of the side to move.
struct Point {
    int x, y;
};
Point Cell_Point(int cell);
Point Hand_Point(int position);
// The pointer on a point of the virtual screen in the 1024x768 window, at 4x,
// for the coming frame: the mouse moved there, or clicked there, or a
// finger's tap there.
void Move_To(Point p);
void Click_At(Point p, int button = HGEK_LBUTTON);
void Tap_At(Point p);

// One input of a turn, a key or anything else a player does, before its
// frame, and the state it must leave after that frame.
struct Step {
    Step(int key, int turn_phase, int cursor0, int cursor1, int transition = 0);
    Step(std::function<void()> input, int turn_phase, int cursor0, int cursor1, int transition = 0);
    std::function<void()> input;
    int turn_phase;
    int cursor0, cursor1;
    int transition;
};
// Plays the steps one per frame from the first frame of a position with
// Solids to move and checks the state after each; nothing but a confirmed
// move may change the board or Solids' hand.
void Expect_Steps(const Options &options, const std::vector<Step> &steps);

// What the frame just finished drew into the virtual screen; clears the record.
Screen Look();

// The text without spaces: letters are what a player reads.
std::string Letters(const std::string &text);

}  // namespace match_test
