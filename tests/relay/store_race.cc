// Two relays' stores on one Redis, for the scenario Shared (relay_test.py):
// a room made through one; then, round after round, both append a move for
// the same number at once (both scripts sent before either is answered);
// then a move sent again through the other store, by its id. Prints
//     races R once N again A
// where N is the rounds in which exactly one store's move was stored and A
// is 1 when the move sent again was known (AGAIN) and not stored twice.
//
//     relay_store_race HOST:PORT
#include <cstdio>

#include <boost/asio/io_context.hpp>

#include "redis_store.h"
#include "room_codes.h"

constexpr int ROUNDS = 50;
constexpr auto LIMIT = std::chrono::seconds(20);

namespace {

struct Ready : Room_Listener {
    int available = 0;
    void Room_Changed(const std::string &, const Room_Event &) override {}
    void Store_Changed(bool up) override { available += up; }
};

}  // namespace

int main(int argc, char **argv)
{
    Redis_Address address;
    if (argc != 2 || !Read_Redis_Address(argv[1], address)) {
        std::fprintf(stderr, "usage: relay_store_race HOST:PORT\n");
        return 2;
    }
    boost::asio::io_context io;
    Redis_Store one(io, address, std::chrono::seconds(600)), two(io, address, std::chrono::seconds(600));
    Ready ready;
    one.Set_Listener(&ready);
    two.Set_Listener(&ready);
    one.Start();
    two.Start();
    const auto end = Relay_Clock::now() + LIMIT;
    const auto run_until = [&](const auto &done) {
        while (!done() && Relay_Clock::now() < end)
            io.run_for(std::chrono::milliseconds(10));
        return done();
    };
    if (!run_until([&] { return ready.available == 2; }))
        return 1;
    const std::string code = New_Room_Code();
    int step = 0;
    one.Create(code, Token_Hash("host"), "race", 16, [&](Store_Status status) {
        step = status == Store_Status::OK ? 1 : -1;
    });
    run_until([&] { return step != 0; });
    two.Seat_Guest(code, Token_Hash("guest"), SOLIDS, [&](Store_Status status) {
        step = status == Store_Status::OK ? 2 : -1;
    });
    if (!run_until([&] { return step != 1; }) || step != 2)
        return 1;

    int once = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        int answered = 0, stored = 0;
        const auto count = [&](Append_Answer answer) {
            ++answered;
            stored += answer.result == Append_Result::APPENDED;
        };
        const Move move{MOVE_PLACE, 0, round % 9};
        one.Append(code, round, Stored_Move{move, round % 2, "one" + std::to_string(round)}, count);
        two.Append(code, round, Stored_Move{move, round % 2, "two" + std::to_string(round)}, count);
        run_until([&] { return answered == 2; });
        once += answered == 2 && stored == 1;
    }
    // Round 0's move, sent again through the store that did not store it.
    Append_Answer again{Append_Result::UNAVAILABLE, -1};
    bool answered = false;
    Room_Record record;
    two.Read(code, [&](Store_Status, const Room_Record &read) {
        record = read;
        two.Append(code, ROUNDS, record.moves.empty() ? Stored_Move{} : record.moves[0], [&](Append_Answer answer) {
            again = answer;
            answered = true;
        });
    });
    run_until([&] { return answered; });
    bool ended = false;
    one.End(code, "left", SOLIDS, [&](Store_Status) { ended = true; });
    run_until([&] { return ended; });
    const bool known = again.result == Append_Result::AGAIN && again.number == 0 &&
                       record.moves.size() == static_cast<std::size_t>(ROUNDS);
    std::printf("races %d once %d again %d\n", ROUNDS, once, known ? 1 : 0);
    one.Stop();
    two.Stop();
    io.poll();
    return 0;
}
