#include "recording.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "record.h"

static std::ofstream record_out;
static std::string record_path;
static Match_Record replay;
static size_t replay_next = 0;
static bool replay_loaded = false;

static std::filesystem::path Path_Of(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool Open_Recording(const std::string &path, std::string *why)
{
    record_out.open(Path_Of(path), std::ios::binary | std::ios::trunc);
    if (record_out) {
        record_path = path;
        return true;
    }
    *why = path + ": cannot be written (" + std::strerror(errno) + ")";
    return false;
}

bool Load_Replay(const std::string &path, std::string *why)
{
    std::ifstream in(Path_Of(path), std::ios::binary);
    if (!in) {
        *why = path + ": cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Record_Fault fault;
    if (!Record_Read(text.str(), replay, fault)) {
        *why = path + ":" + std::to_string(fault.line) + ": " + fault.what;
        return false;
    }
    replay_loaded = true;
    replay_next = 0;
    return true;
}

static void Write(const std::string &text)
{
    if (!record_out.is_open())
        return;
    record_out << text;
    record_out.flush();
}

int Begin_Recorded_Match(int drawn_first)
{
    const int first = replay_loaded ? replay.first : drawn_first;
    Write(Record_Header(first));
    return first;
}

void Record_Move(const Move &move)
{
    Write(Record_Move_Line(move));
}

void Record_Whole_Match(const Match_Record &match)
{
    if (!record_out.is_open())
        return;
    record_out.close();
    record_out.clear();
    record_out.open(Path_Of(record_path), std::ios::binary | std::ios::trunc);
    Write(Record_Header(match.first));
    for (const Move &move : match.moves)
        Write(Record_Move_Line(move));
}

bool Replay_Has_Moves()
{
    return replay_loaded && replay_next < replay.moves.size();
}

bool Next_Replay_Move(Move *move)
{
    if (!Replay_Has_Moves())
        return false;
    *move = replay.moves[replay_next];
    return true;
}

void Replay_Move_Played()
{
    if (Replay_Has_Moves())
        ++replay_next;
}

void Reset_Recording()
{
    if (record_out.is_open())
        record_out.close();
    record_out.clear();
    record_path.clear();
    replay = {};
    replay_next = 0;
    replay_loaded = false;
}
