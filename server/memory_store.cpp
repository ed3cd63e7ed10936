#include "memory_store.h"

constexpr auto FAILURE_WINDOW = std::chrono::minutes(1);
constexpr std::size_t FAILURE_SWEEP = 4096;

Memory_Store::Entry *Memory_Store::Find(const std::string &code)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return nullptr;
    if (found->second.deadline && *found->second.deadline <= Relay_Clock::now()) {
        Drop(found);
        return nullptr;
    }
    return &found->second;
}

void Memory_Store::Drop(std::unordered_map<std::string, Entry>::iterator entry)
{
    const auto count = open_rooms.find(entry->second.creator);
    if (count != open_rooms.end() && --count->second <= 0)
        open_rooms.erase(count);
    rooms.erase(entry);
}

void Memory_Store::Create(const std::string &code, const std::string &host_token, const std::string &creator,
                          int most, Status_Done done)
{
    const auto count = open_rooms.find(creator);
    if (count != open_rooms.end() && count->second >= most)
        return done(Store_Status::TOO_MANY);
    if (Find(code))
        return done(Store_Status::REFUSED);
    Entry &entry = rooms[code];
    entry.record.tokens[SOLIDS] = host_token;
    entry.creator = creator;
    ++open_rooms[creator];
    done(Store_Status::OK);
}

void Memory_Store::Seat_Guest(const std::string &code, const std::string &token, int first, Status_Done done)
{
    Entry *entry = Find(code);
    if (!entry || !entry->record.tokens[STRIPES].empty())
        return done(Store_Status::REFUSED);
    entry->record.tokens[STRIPES] = token;
    entry->record.first = first;
    done(Store_Status::OK);
}

void Memory_Store::Append(const std::string &code, int number, const Stored_Move &move, Append_Done done)
{
    Entry *entry = Find(code);
    if (!entry)
        return done({Append_Result::NO_ROOM, 0});
    std::vector<Stored_Move> &moves = entry->record.moves;
    for (std::size_t at = 0; at < moves.size(); ++at)
        if (moves[at].side == move.side && moves[at].id == move.id)
            return done({Append_Result::AGAIN, static_cast<int>(at)});
    if (number != static_cast<int>(moves.size()))
        return done({Append_Result::WRONG_NUMBER, static_cast<int>(moves.size())});
    moves.push_back(move);
    done({Append_Result::APPENDED, number});
}

void Memory_Store::Read(const std::string &code, Read_Done done)
{
    const Entry *entry = Find(code);
    if (!entry)
        return done(Store_Status::REFUSED, Room_Record{});
    done(Store_Status::OK, entry->record);
}

void Memory_Store::Seat_Lost(const std::string &code, int side, std::chrono::seconds wait)
{
    Entry *entry = Find(code);
    if (!entry)
        return;
    if (!entry->deadline)
        entry->deadline = Relay_Clock::now() + wait;
    entry->record.lost[side] = true;
}

void Memory_Store::Seat_Back(const std::string &code, int side, bool)
{
    Entry *entry = Find(code);
    if (!entry)
        return;
    entry->record.lost[side] = false;
    if (!entry->record.lost[SOLIDS] && !entry->record.lost[STRIPES])
        entry->deadline.reset();
}

void Memory_Store::End(const std::string &code, const std::string &, int, Status_Done done)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return done(Store_Status::REFUSED);
    Drop(found);
    done(Store_Status::OK);
}

std::deque<Relay_Clock::time_point> &Memory_Store::Recent_Failures(const std::string &address)
{
    std::deque<Relay_Clock::time_point> &times = failures[address];
    const auto now = Relay_Clock::now();
    while (!times.empty() && now - times.front() >= FAILURE_WINDOW)
        times.pop_front();
    return times;
}

void Memory_Store::Count_Failure(const std::string &address, Count_Done done)
{
    // Addresses that failed once and never came back are forgotten now and then.
    if (failures.size() >= FAILURE_SWEEP)
        for (auto entry = failures.begin(); entry != failures.end();)
            entry = Recent_Failures(entry->first).empty() ? failures.erase(entry) : std::next(entry);
    std::deque<Relay_Clock::time_point> &times = Recent_Failures(address);
    times.push_back(Relay_Clock::now());
    done(Store_Status::OK, static_cast<long long>(times.size()));
}

void Memory_Store::Failures(const std::string &address, Count_Done done)
{
    std::deque<Relay_Clock::time_point> &times = Recent_Failures(address);
    const auto count = static_cast<long long>(times.size());
    if (times.empty())
        failures.erase(address);
    done(Store_Status::OK, count);
}
