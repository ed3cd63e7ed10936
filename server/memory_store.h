// The rooms in the relay's own memory: the store of one relay on its own,
// which answers every call at once. Made by the relay's server at start;
// read and written only by the lobby.
#pragma once

#include <deque>
#include <optional>
#include <unordered_map>

#include "room_store.h"

class Memory_Store : public Room_Store {
public:
    void Set_Listener(Room_Listener *) override {}
    bool Available() const override { return true; }
    bool Shared() const override { return false; }
    void Create(const std::string &code, const std::string &host_token, const std::string &creator, int most,
                Status_Done done) override;
    void Seat_Guest(const std::string &code, const std::string &token, int first, Status_Done done) override;
    void Append(const std::string &code, int number, const Stored_Move &move, Append_Done done) override;
    void Read(const std::string &code, Read_Done done) override;
    void Seat_Lost(const std::string &code, int side, std::chrono::seconds wait) override;
    void Seat_Back(const std::string &code, int side, bool was_lost) override;
    void End(const std::string &code, const std::string &reason, int side, Status_Done done) override;
    void Count_Failure(const std::string &address, Count_Done done) override;
    void Failures(const std::string &address, Count_Done done) override;
    // One relay alone: nobody else changes its rooms.
    void Follow(const std::string &, Status_Done done) override { done(Store_Status::OK); }
    void Unfollow(const std::string &) override {}

private:
    struct Entry {
        Room_Record record;
        std::string creator;
        std::optional<Relay_Clock::time_point> deadline;
    };
    // The live room of that code; an expired one is dropped on the way.
    Entry *Find(const std::string &code);
    void Drop(std::unordered_map<std::string, Entry>::iterator entry);
    // The address's failures within the last minute, older ones forgotten.
    std::deque<Relay_Clock::time_point> &Recent_Failures(const std::string &address);

    std::unordered_map<std::string, Entry> rooms;
    std::unordered_map<std::string, int> open_rooms;  // by creator
    std::unordered_map<std::string, std::deque<Relay_Clock::time_point>> failures;
};
