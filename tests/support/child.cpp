#include "child.h"

#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using Clock = std::chrono::steady_clock;

static double Seconds_Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

Child::Child(const std::vector<std::string> &words, const std::string &log) : log_path(log)
{
    int ends[2];
    if (pipe(ends) != 0)
        return;
    pid = fork();
    if (pid == 0) {
        // A test that dies takes its programs with it, so none holds the
        // test runner's output open.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(ends[1], STDOUT_FILENO);
        const int errors = log.empty() ? -1 : open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (errors >= 0)
            dup2(errors, STDERR_FILENO);
        close(ends[0]);
        close(ends[1]);
        std::vector<std::string> copy = words;
        std::vector<char *> argv;
        for (std::string &word : copy)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(ends[1]);
    out = ends[0];
}

Child::~Child()
{
    if (Running()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (out >= 0)
        close(out);
}

std::string Child::Next_Line(double seconds)
{
    const Clock::time_point start = Clock::now();
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        const int left_ms = static_cast<int>((seconds - Seconds_Since(start)) * 1000);
        pollfd ready{out, POLLIN, 0};
        if (out < 0 || left_ms <= 0 || poll(&ready, 1, left_ms) <= 0)
            return "";
        char bytes[4096];
        const ssize_t got = read(out, bytes, sizeof bytes);
        if (got <= 0)
            return "";
        pending.append(bytes, static_cast<size_t>(got));
    }
}

std::string Child::Line_Starting(const std::string &start, double seconds)
{
    const Clock::time_point begun = Clock::now();
    while (Seconds_Since(begun) < seconds) {
        const std::string line = Next_Line(seconds - Seconds_Since(begun));
        if (line.rfind(start, 0) == 0)
            return line;
        if (line.empty() && !Running())
            return "";
    }
    return "";
}

std::string Child::Log() const
{
    std::ifstream in(log_path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Child::Logged(const std::string &text, double seconds)
{
    const Clock::time_point start = Clock::now();
    for (;;) {
        if (Log().find(text) != std::string::npos)
            return true;
        if (log_path.empty() || Seconds_Since(start) > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void Child::Signal(int signal_number)
{
    if (pid > 0)
        kill(pid, signal_number);
}

bool Child::Running()
{
    if (pid <= 0)
        return false;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) != pid)
        return true;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    pid = -1;
    return false;
}

int Child::Wait(double seconds)
{
    const Clock::time_point start = Clock::now();
    while (Running()) {
        if (Seconds_Since(start) > seconds) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}
