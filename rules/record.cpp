#include "record.h"

#include <cstddef>
#include <sstream>

static const char *const SIDE_NAMES[SIDES] = {"solids", "stripes"};
static const char *const MOVE_WORDS[] = {"place", "capture"};

std::string Record_Header(int first)
{
    return "torvek-match " + std::to_string(RECORD_VERSION) + "\nfirst " + SIDE_NAMES[first] +
           "\n";
}

std::string Record_Move_Line(const Move &move)
{
    return std::string(MOVE_WORDS[move.kind]) + " " + std::to_string(move.from) + " " +
           std::to_string(move.to) + "\n";
}

// A whole decimal number of at most two digits: hand positions and cells.
static bool Read_Number(std::istringstream &words, int &number)
{
    std::string word;
    if (!(words >> word) || word.empty() || word.size() > 2)
        return false;
    number = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    return true;
}

static bool Read_Move(const std::string &line, Move &move)
{
    std::istringstream words(line);
    std::string word, rest;
    if (!(words >> word))
        return false;
    if (word == MOVE_WORDS[MOVE_PLACE])
        move.kind = MOVE_PLACE;
    else if (word == MOVE_WORDS[MOVE_CAPTURE])
        move.kind = MOVE_CAPTURE;
    else
        return false;
    return Read_Number(words, move.from) && Read_Number(words, move.to) && !(words >> rest);
}

static bool Read_Version(const std::string &line, Record_Fault &fault)
{
    std::istringstream words(line);
    std::string format, rest;
    int version = 0;
    if (!(words >> format) || format != "torvek-match" || !Read_Number(words, version) ||
        (words >> rest)) {
        fault.what = "not a TORVEK match record";
        return false;
    }
    if (version > RECORD_VERSION) {
        fault.what = "from a later version of TORVEK (record version " + std::to_string(version) +
                     ", this one reads " + std::to_string(RECORD_VERSION) + ")";
        return false;
    }
    if (version < 1) {
        fault.what = "not a TORVEK match record";
        return false;
    }
    return true;
}

static bool Read_First(const std::string &line, int &first, Record_Fault &fault)
{
    for (int side = 0; side < SIDES; ++side) {
        if (line == std::string("first ") + SIDE_NAMES[side]) {
            first = side;
            return true;
        }
    }
    fault.what = "the second line must be \"first solids\" or \"first stripes\"";
    return false;
}

bool Record_Read(const std::string &text, Match_Record &record, Record_Fault &fault)
{
    record = {};
    if (text.empty()) {
        fault = {1, "the file is empty"};
        return false;
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            fault = {static_cast<int>(lines.size()) + 1, "the line is cut short (truncated file)"};
            return false;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    fault.line = 1;
    if (!Read_Version(lines[0], fault))
        return false;
    fault.line = 2;
    if (lines.size() < 2) {
        fault.what = "the file ends before its first side (truncated file)";
        return false;
    }
    if (!Read_First(lines[1], record.first, fault))
        return false;
    Match_State match = Match_Start(record.first);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        fault.line = static_cast<int>(i) + 1;
        Move move{};
        if (!Read_Move(lines[i], move)) {
            fault.what = "not a move: \"" + lines[i].substr(0, 40) + "\"";
            return false;
        }
        const Move_Refusal refusal = Match_Play(match, move);
        if (refusal != MOVE_LEGAL) {
            fault.what = "the rules refuse \"" + lines[i] + "\": " + Refusal_Text(refusal);
            return false;
        }
        record.moves.push_back(move);
    }
    fault = {};
    return true;
}
