// The rules' own view of a match for the relay's scenarios, so that the
// scenarios in Python never play the rules themselves. Reads a match record
// (record.h) on standard input and prints, for `hashes`, the match's hash
// before the first move and after each one, one a line; for `moves`, every
// legal move of the position after the last, one a line as the record
// writes moves, after a line naming the side to move ("turn solids").
// Exits 1 with the fault when the record does not play.
//
// (.cc, not .cpp: tests/CMakeLists.txt makes a GoogleTest program of every
// area's .cpp files, and this is no test of its own.)
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "moves.h"
#include "record.h"

static void Print_Hash(const Match_State &match)
{
    std::printf("%016llx\n", static_cast<unsigned long long>(Match_Hash(match)));
}

static void Print_Hashes(const Match_Record &record)
{
    Match_State match = Match_Start(record.first);
    Print_Hash(match);
    for (const Move &move : record.moves) {
        Match_Play(match, move);
        Print_Hash(match);
    }
}

static void Print_Moves(const Match_Record &record)
{
    Match_State match;
    Match_Replay(record, match);
    Move moves[MATCH_MAX_MOVES];
    const int count = Match_Moves(match, moves);
    std::printf("turn %s\n", match.round.turn == SOLIDS ? "solids" : "stripes");
    for (int i = 0; i < count; ++i)
        std::fputs(Record_Move_Line(moves[i]).c_str(), stdout);
}

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command != "hashes" && command != "moves") {
        std::fprintf(stderr, "usage: relay_rules_check hashes|moves < record\n");
        return 2;
    }
    const std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    Match_Record record;
    Record_Fault fault;
    if (!Record_Read(text, record, fault)) {
        std::fprintf(stderr, "line %d: %s\n", fault.line, fault.what.c_str());
        return 1;
    }
    if (command == "hashes")
        Print_Hashes(record);
    else
        Print_Moves(record);
    return 0;
}
