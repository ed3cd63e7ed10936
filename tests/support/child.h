// A program a test starts (a WebSocket server, the relay, a player of an
// online match): its standard output is read line by line with a time
// limit; it is stopped by a signal of the test's choosing and killed if it
// outlives the test. POSIX only.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class Child {
public:
    // With a `log` path, its standard error goes to that file.
    explicit Child(const std::vector<std::string> &words, const std::string &log = "");
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // The next line it prints within `seconds`; "" when none comes.
    std::string Next_Line(double seconds);
    // Reads lines until one starts with `start`, within `seconds`; "" when none does.
    std::string Line_Starting(const std::string &start, double seconds);
    // Whether its log holds a line containing `text` within `seconds`.
    bool Logged(const std::string &text, double seconds);
    // The whole log so far, for a failure's message.
    std::string Log() const;
    void Signal(int signal_number);
    // Its exit status once it ends within `seconds`; -1 when it does not
    // (it is then killed), 128 + N for signal N.
    int Wait(double seconds);
    bool Running();

private:
    pid_t pid = -1;
    int out = -1;
    int status = -1;
    std::string pending;
    std::string log_path;
};
