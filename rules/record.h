// A match written down: the text that --record writes and --replay reads.
//
//     torvek-match 1        the format and its version
//     first stripes         the side that placed first: solids or stripes
//     place 0 4             a placing: hand position, cell
//     capture 4 1           a capture: attacking cell, captured cell
//
// One move a line, in the order they were played, every line ending with a
// newline; numbers are decimal. A reader takes only versions it knows.
#pragma once

#include <string>

#include "moves.h"

constexpr int RECORD_VERSION = 1;

// The header lines, and one move's line, each with its newline.
std::string Record_Header(int first);
std::string Record_Move_Line(const Move &move);

// Reads a record's text and plays it through the rules. On any fault returns
// false with the line it is on (from 1) and a few words on what is wrong:
// an empty or truncated text, another format or a later version, a line
// that is no move, or a move the rules refuse at that point.
struct Record_Fault {
    int line = 0;
    std::string what;
};
bool Record_Read(const std::string &text, Match_Record &record, Record_Fault &fault);
