// A match: the frame-by-frame flow of its rounds and the match screen. It
// stands on the rules, the turns, the animations and the messages; nothing
// below includes it.
#pragma once

#include "moves.h"

// A message rising from below the screen that holds the match for three seconds.
void Announce(const char *text);

// Frame function of a match: true when Escape ends the program.
bool Game();
// Render function of a match.
bool Render_Game();

// Brings the match under way to the position after a record's moves, played
// from a fresh deal with the record's first side, without pictures and
// without waiting: nothing is announced or animated, and the side to move is
// at the first step of its turn. A move the rules refuse at its point leaves
// the match as it was and gives its index in *bad and the refusal in *why.
// For a match whose players exist (the menu has started it).
bool Bring_Match_To(const Match_Record &record, int *bad = nullptr, Move_Refusal *why = nullptr);
