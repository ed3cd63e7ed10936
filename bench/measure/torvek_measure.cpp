// torvek_measure: start-up time, frame rate, CPU share and peak memory of the
// unmodified program, measured from outside. The program runs with the probe
// library preloaded (probe.cpp), which notes its presents and frames in a
// shared file; CPU time comes from /proc, peak resident memory from wait4.
//
//   torvek_measure startup [--runs N] PROGRAM [ARGUMENTS...]
//       N runs (20 by default): from just before the process is started to
//       the return of its first SDL_RenderPresent; then SIGTERM.
//   torvek_measure pacing [--seconds S] [--warmup S] [--match] PROGRAM [ARGUMENTS...]
//       frames per second and CPU share of one core over S seconds (20) on
//       the title screen, and with --match again after Enter and N (sent with
//       xdotool, so under an X server only) during a match.
// The arguments go to the program (--fullscreen, say).
//
// The environment (DISPLAY, SDL_VIDEODRIVER) is handed on: run it under Xvfb
// or with SDL_VIDEODRIVER=dummy.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "probe.h"

namespace fs = std::filesystem;

namespace {

constexpr auto START_LIMIT = std::chrono::seconds(20);
// Between start-up runs, so that the X server has finished with the last
// program before the next one starts, as when a player starts the game.
constexpr double SETTLE_SECONDS = 0.5;
constexpr double NANOSECONDS = 1e9;

uint64_t Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

void Sleep(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// A started program with the probe in it.
class Probed {
public:
    Probed(const std::string &program, const std::vector<std::string> &arguments)
    {
        char pattern[] = "/tmp/torvek-probe-XXXXXX";
        int file = mkstemp(pattern);
        if (file < 0)
            return;
        path = pattern;
        if (ftruncate(file, sizeof(ProbeCounters)) == 0) {
            void *shared = mmap(nullptr, sizeof(ProbeCounters), PROT_READ | PROT_WRITE, MAP_SHARED,
                                file, 0);
            if (shared != MAP_FAILED)
                counters = static_cast<volatile ProbeCounters *>(shared);
        }
        close(file);
        if (!counters)
            return;
        const std::string probe =
            (fs::read_symlink("/proc/self/exe").parent_path() / "libtorvek_probe.so").string();
        started_ns = Now();
        pid = fork();
        if (pid == 0) {
            setenv("LD_PRELOAD", probe.c_str(), 1);
            setenv(TORVEK_PROBE_FILE, path.c_str(), 1);
            std::vector<char *> argv = {const_cast<char *>(program.c_str())};
            for (const std::string &argument : arguments)
                argv.push_back(const_cast<char *>(argument.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }

    ~Probed()
    {
        Stop();
        if (counters)
            munmap(const_cast<ProbeCounters *>(counters), sizeof(ProbeCounters));
        if (!path.empty())
            unlink(path.c_str());
    }

    bool Running() const { return pid > 0 && !stopped; }

    // Waits for the first present; false when the program ended or hung first.
    bool WaitForFirstPresent()
    {
        const auto limit = std::chrono::steady_clock::now() + START_LIMIT;
        while (Running() && counters->first_present_ns == 0) {
            if (std::chrono::steady_clock::now() > limit)
                return false;
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                stopped = true;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return Running();
    }

    double SecondsToFirstPresent() const
    {
        return (counters->first_present_ns - started_ns) / NANOSECONDS;
    }

    // SIGTERM, which SDL turns into a quit request; then the peak memory.
    void Stop()
    {
        if (!Running())
            return;
        kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        stopped = true;
        peak_kb = usage.ru_maxrss;
        exited_cleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // User and system time of all the program's threads, in seconds.
    double CpuSeconds() const
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // Fields after the command name, which ends with the last ')'.
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int index = 3; fields >> field; ++index) {
            if (index == 14 || index == 15)
                ticks += std::stod(field);
            if (index == 15)
                break;
        }
        return ticks / sysconf(_SC_CLK_TCK);
    }

    // CPU time of all the program's threads so far, in nanoseconds.
    double CpuNanoseconds() const
    {
        double total = 0;
        std::error_code error;
        for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
            std::ifstream schedstat(task.path() / "schedstat");
            double on_cpu = 0;
            if (schedstat >> on_cpu)
                total += on_cpu;
        }
        return total;
    }

    uint64_t Frames() const { return counters->frames; }
    uint64_t LastFrameNs() const { return counters->last_frame_ns; }
    uint64_t Presents() const { return counters->presents; }
    long PeakKb() const { return peak_kb; }
    bool ExitedCleanly() const { return exited_cleanly; }

private:
    std::string path;
    volatile ProbeCounters *counters = nullptr;
    uint64_t started_ns = 0;
    pid_t pid = -1;
    bool stopped = false;
    long peak_kb = 0;
    bool exited_cleanly = false;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int Startup(int runs, const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<double> times, cpu_times;
    long peak_kb = 0;
    for (int run = 0; run < runs; ++run) {
        if (run > 0)
            Sleep(SETTLE_SECONDS);
        Probed probed(program, arguments);
        if (!probed.WaitForFirstPresent()) {
            std::fprintf(stderr, "run %d: no frame was presented\n", run + 1);
            return 1;
        }
        times.push_back(probed.SecondsToFirstPresent() * 1000);
        // Read within a fraction of a millisecond after the first present.
        cpu_times.push_back(probed.CpuNanoseconds() / 1e6);
        probed.Stop();
        peak_kb = std::max(peak_kb, probed.PeakKb());
        std::printf("run %2d: %.1f ms (CPU %.1f ms)\n", run + 1, times.back(), cpu_times.back());
    }
    std::printf("start to first present: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
                Median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), runs);
    std::printf("CPU time of the program up to then: median %.1f ms\n", Median(cpu_times));
    std::printf("peak resident memory: %.1f MB\n", peak_kb / 1024.0);
    return 0;
}

// Frames per second and CPU share over `seconds`, measured between two frames.
void Window(const Probed &probed, const char *name, double seconds)
{
    const uint64_t frames0 = probed.Frames(), presents0 = probed.Presents();
    const uint64_t time0 = probed.LastFrameNs();
    const double cpu0 = probed.CpuSeconds();
    const uint64_t wall0 = Now();
    Sleep(seconds);
    const uint64_t frames1 = probed.Frames(), presents1 = probed.Presents();
    const uint64_t time1 = probed.LastFrameNs();
    const double cpu1 = probed.CpuSeconds();
    const double wall = (Now() - wall0) / NANOSECONDS;
    const double frame_span = (time1 - time0) / NANOSECONDS;
    std::printf("%s: %.3f frames per second (%llu frames in %.2f s), %.3f presents per second, "
                "CPU %.2f%% of one core\n",
                name, (frames1 - frames0) / frame_span,
                static_cast<unsigned long long>(frames1 - frames0), frame_span,
                (presents1 - presents0) / frame_span, 100.0 * (cpu1 - cpu0) / wall);
}

int Pacing(double seconds, double warmup, bool match, const std::string &program,
           const std::vector<std::string> &arguments)
{
    Probed probed(program, arguments);
    if (!probed.WaitForFirstPresent()) {
        std::fprintf(stderr, "no frame was presented\n");
        return 1;
    }
    Sleep(warmup);
    Window(probed, "title screen", seconds);
    if (match) {
        // Enter on the title, N on the main menu; the window has no window
        // manager to give it focus, so xdotool gives it. The window takes
        // its title from the executable: torvek, or torvek_rising.
        const int sent = std::system(
            "xdotool search --sync --name '^torvek' windowfocus --sync "
            "key --delay 300 Return n");
        if (sent != 0) {
            std::fprintf(stderr, "xdotool could not send the keys\n");
            return 1;
        }
        Sleep(warmup);
        Window(probed, "match", seconds);
    }
    probed.Stop();
    std::printf("peak resident memory: %.1f MB; quit %s\n", probed.PeakKb() / 1024.0,
                probed.ExitedCleanly() ? "cleanly" : "NOT cleanly");
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: torvek_measure startup [--runs N] PROGRAM [ARGUMENTS...]\n"
                 "       torvek_measure pacing [--seconds S] [--warmup S] [--match] PROGRAM "
                 "[ARGUMENTS...]\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    int runs = 20;
    double seconds = 20, warmup = 3;
    bool match = false;
    int index = 2;
    for (; index < argc && std::string(argv[index]).rfind("--", 0) == 0; ++index) {
        const std::string option = argv[index];
        const bool valued = option == "--runs" || option == "--seconds" || option == "--warmup";
        if (valued && index + 1 >= argc)
            return Usage();
        if (option == "--runs")
            runs = std::atoi(argv[++index]);
        else if (option == "--seconds")
            seconds = std::atof(argv[++index]);
        else if (option == "--warmup")
            warmup = std::atof(argv[++index]);
        else if (option == "--match")
            match = true;
        else
            return Usage();
    }
    if (index >= argc || runs <= 0 || seconds <= 0)
        return Usage();
    const std::string program = fs::absolute(argv[index]).string();
    const std::vector<std::string> arguments(argv + index + 1, argv + argc);
    if (command == "startup")
        return Startup(runs, program, arguments);
    if (command == "pacing")
        return Pacing(seconds, warmup, match, program, arguments);
    return Usage();
}
