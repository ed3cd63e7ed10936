// torvek_record FILE...: checks recorded matches (--record's files) against
// the rules and says where each one ends: the moves, the rounds won, the
// score and the position's hash, which the relay and the game compute alike.
// A file that cannot be replayed says why with its line, and the status is 1.
// It links the rules alone: nothing of SDL, the engine or the game.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "record.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: torvek_record FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot be read\n", argv[i]);
            status = 1;
            continue;
        }
        std::ostringstream text;
        text << in.rdbuf();
        Match_Record record;
        Record_Fault fault;
        Match_State match;
        if (!Record_Read(text.str(), record, fault) || !Match_Replay(record, match)) {
            std::fprintf(stderr, "%s:%d: %s\n", argv[i], fault.line, fault.what.c_str());
            status = 1;
            continue;
        }
        std::printf("%s: %zu moves, %d rounds won, Solids %d, Stripes %d, hash %016llx\n", argv[i],
                    record.moves.size(), match.rounds_won, match.points[SOLIDS], match.points[STRIPES],
                    static_cast<unsigned long long>(Match_Hash(match)));
    }
    return status;
}
