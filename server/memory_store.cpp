#include "memory_store.h"

Memory_Store::Entry *Memory_Store::Find(const std::string &code)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return nullptr;
    if (found->second.deadline && *found->second.deadline <= Relay_Clock::now()) {
        rooms.erase(found);
        return nullptr;
    }
    return &found->second;
}

bool Memory_Store::Create(const std::string &code, const std::string &host_token)
{
    if (Find(code))
        return false;
    Entry &entry = rooms[code];
    entry.record.tokens[SOLIDS] = host_token;
    return true;
}

bool Memory_Store::Take_Seat(const std::string &code, int side, const std::string &token)
{
    Entry *entry = Find(code);
    if (!entry || !entry->record.tokens[side].empty())
        return false;
    entry->record.tokens[side] = token;
    return true;
}

bool Memory_Store::Set_First(const std::string &code, int first)
{
    Entry *entry = Find(code);
    if (!entry)
        return false;
    entry->record.first = first;
    return true;
}

Append_Result Memory_Store::Append(const std::string &code, int number, const Stored_Move &move)
{
    Entry *entry = Find(code);
    if (!entry)
        return Append_Result::NO_ROOM;
    if (number != static_cast<int>(entry->record.moves.size()))
        return Append_Result::WRONG_NUMBER;
    entry->record.moves.push_back(move);
    return Append_Result::APPENDED;
}

bool Memory_Store::Read(const std::string &code, Room_Record &record)
{
    const Entry *entry = Find(code);
    if (!entry)
        return false;
    record = entry->record;
    return true;
}

void Memory_Store::Expire(const std::string &code, Relay_Clock::time_point deadline)
{
    if (Entry *entry = Find(code))
        entry->deadline = deadline;
}

void Memory_Store::Keep(const std::string &code)
{
    if (Entry *entry = Find(code))
        entry->deadline.reset();
}

void Memory_Store::Remove(const std::string &code)
{
    rooms.erase(code);
}
