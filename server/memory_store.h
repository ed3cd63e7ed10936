// The rooms in the relay's own memory: the store of one relay on its own.
// Made by the relay's server at start; read and written only by the lobby.
#pragma once

#include <optional>
#include <unordered_map>

#include "room_store.h"

class Memory_Store : public Room_Store {
public:
    bool Create(const std::string &code, const std::string &host_token) override;
    bool Take_Seat(const std::string &code, int side, const std::string &token) override;
    bool Set_First(const std::string &code, int first) override;
    Append_Result Append(const std::string &code, int number, const Stored_Move &move) override;
    bool Read(const std::string &code, Room_Record &record) override;
    void Expire(const std::string &code, Relay_Clock::time_point deadline) override;
    void Keep(const std::string &code) override;
    void Remove(const std::string &code) override;

private:
    struct Entry {
        Room_Record record;
        std::optional<Relay_Clock::time_point> deadline;
    };
    // The live room of that code; an expired one is dropped on the way.
    Entry *Find(const std::string &code);

    std::unordered_map<std::string, Entry> rooms;
};
