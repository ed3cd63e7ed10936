// Long runs of the real program under random keys: what a match promises
// after every frame, the moves and wins it went through, and the seeded keys
// and clock steps that drive it. Shared by the soak test and the match fuzz
// target, so nothing here depends on a test framework.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace soak {

// The rules of winning and capturing read off the board, written apart from
// the game's own as the tests' one independent reading of them. Win_Shown is
// 1 when the side has a piece of full combo on the board, 2 when it holds
// all twelve pieces, else 0; Capturable tells whether the side's piece in
// the attacker's cell may take the piece in the target's cell.
int Win_Shown(int side);
bool Capturable(int attacker, int target, int side);

// What the watched frames went through.
struct Tally {
    long frames = 0;
    long match_frames = 0;
    long placings = 0;  // placing animations started
    long captures = 0;  // capture animations started
    long fights = 0;    // "Fightin' time!"
    long stand_offs = 0;
    long cannot_attack = 0;
    long nothing_left = 0;
    long full_combo_wins = 0;
    long all_pieces_wins = 0;
    int longest_hand = 0;
    double seconds = 0;  // engine time from the first watched frame to the last

    // One line for logs and reports.
    std::string Summary() const;
};

// Checks, after every frame, what a running match promises: twelve pieces,
// whole pieces in the hands of their own side, cursors inside what the phase
// allows, the turn and animation state in range, legal moves only, no
// message older than its lifespan, every win scored, announced and dealt
// afresh in the first logic frame that sees it, and a computer side to move
// that always gets on with its move.
class Match_Watch {
public:
    // Call after every frame of the program, from the frame hook. Returns
    // what is wrong, or an empty string when every promise holds.
    std::string After_Frame();
    const Tally &Counts() const { return tally; }

private:
    // What the previous frame left behind, for the checks across frames.
    struct Previous {
        bool in_match = false;
        bool logic_next = false;  // nothing showing or moving: the next frame runs the rules
        int winner = -1;          // the side whose win the board shows, or -1
        int win_kind = 0;         // 1 full combo, 2 all pieces
        int points[2] = {0, 0};
        int transition = 0;
        bool bag_empty = true;
    };

    std::string Check_Match();
    std::string Check_Pieces();
    std::string Check_State();
    std::string Check_Cursors();
    std::string Check_Messages();
    std::string Check_New_Move();
    std::string Check_Scores();
    std::string Check_Computer_Moves();
    void Count_Announcements();

    Tally tally;
    Previous previous;
    bool started = false;
    float first_time = 0;
    // While a computer side is to move: its cursors as last seen, the time
    // of the first frame that ran the rules with them (negative until one
    // has), and how often they changed in this turn.
    std::string computer_cursors;
    float computer_cursors_since = -1;
    int computer_changes = 0;
};

// The key a player who knows the rules would press now to bring the turn
// one step nearer to a move, or 0 when the game waits for none. In every
// other pair of rounds it spreads the captures over the pieces rather than
// going on with the nearest piece, so rounds end with all pieces too.
int Aimed_Key();

// Seeded keys and clock steps for a whole run: on the menu screens, the keys
// that lead into a match (Escape only where it goes back rather than ends);
// in a match, arrows, Space and Backspace much more often than anything else,
// never Escape. Steps are whole 64ths of a second, from one frame at 64 per
// second up to two seconds, so that announcements and animations pass in
// few frames while messages still rise frame by frame.
class Key_Mix {
public:
    explicit Key_Mix(uint32_t seed) : random(seed) {}
    int Next_Key();
    float Next_Step();

private:
    int Menu_Key();
    int Match_Key();
    std::mt19937 random;
};

}  // namespace soak
