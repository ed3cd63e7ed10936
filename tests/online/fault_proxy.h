// A bad network for the online tests: a TCP proxy on 127.0.0.1 between a
// program and the relay, on a thread of its own, forwarding every byte both
// ways until the test tells it to misbehave. The tests start one per player
// whose link they spoil, point the player at Url() and change its faults
// while the match goes on; it stops when destroyed (or after a few minutes
// by itself).
#pragma once

#include <atomic>
#include <string>
#include <thread>

class Fault_Proxy {
public:
    // Forwards to the relay listening on 127.0.0.1:relay_port.
    explicit Fault_Proxy(int relay_port);
    ~Fault_Proxy();
    Fault_Proxy(const Fault_Proxy &) = delete;
    Fault_Proxy &operator=(const Fault_Proxy &) = delete;

    // ws://127.0.0.1:PORT/, where it listens; "" when it could not.
    std::string Url() const;

    // Every byte held this long before it is passed on, both ways.
    void Delay(int milliseconds) { delay_ms = milliseconds; }
    // Bytes passed on one at a time, each its own TCP segment.
    void Trickle(bool on) { trickle = on; }
    // Nothing passed on while stalled; what comes is kept for later.
    void Stall(bool on) { stalled = on; }
    // The next bytes from the relay are passed on only in part, then both
    // ends of every open connection are reset: the program sees a frame
    // broken off and the relay a player gone.
    void Reset_Mid_Frame() { reset_armed = true; }

    // Connections the program made through it so far.
    int Connections() const { return connections; }
    // Resets done by Reset_Mid_Frame.
    int Resets() const { return resets; }

private:
    void Run();

    int relay_port;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> delay_ms{0};
    std::atomic<bool> trickle{false};
    std::atomic<bool> stalled{false};
    std::atomic<bool> reset_armed{false};
    std::atomic<int> connections{0};
    std::atomic<int> resets{0};
    std::thread thread;
};
