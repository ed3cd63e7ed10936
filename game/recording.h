// A match written down as it is played (--record FILE) and a recorded match
// played back on screen (--replay FILE), in the text form of record.h.
// Without these options nothing is read or written.
#pragma once

#include <string>

#include "moves.h"

// Called by WinMain before the engine starts. Opens the file a record is
// written to, emptying it; false, with the words in *why, when it cannot.
bool Open_Recording(const std::string &path, std::string *why);
// Called by WinMain before the engine starts. Reads the whole record and
// plays it through the rules; false, with "FILE:LINE: what is wrong" (or
// "FILE: ..." when it cannot be read) in *why, when it cannot be replayed.
bool Load_Replay(const std::string &path, std::string *why);

// Called by the menu when a match starts, with the side it drew to place
// first: the side that places first in this match, the replay's own while
// a replay is loaded. The record's first lines are written here.
int Begin_Recorded_Match(int drawn_first);
// Called by the turns with every move they start, whoever made it: one line
// a move, flushed at once so that a crash loses nothing.
void Record_Move(const Move &move);
// Called when the match is brought at once to a list of moves (an online
// player coming back): the record is written anew as that whole match.
void Record_Whole_Match(const Match_Record &match);
// While a replay lasts, both sides' moves come from it; once it is over the
// keyboard (or the computer) plays on from there.
bool Replay_Has_Moves();
// The recording's next move, false once it is over; it stays the next one
// until Replay_Move_Played, as a win may drop a turn's choice.
bool Next_Replay_Move(Move *move);
void Replay_Move_Played();

// Closes the record and forgets the replay, as at program start.
void Reset_Recording();
