// torvek_pace: the real game with a frame hook that measures it from the
// inside, for the Windows figures of BENCHMARKS.md (under Wine,
// tests/windows/measure.sh). The game runs as it always does; the hook only
// counts, and types Enter and N once the title has been measured.
//
//   torvek_pace.exe [--seconds S] [--rising] [--first-picture] [GAME OPTIONS...]
//
// Prints the wall-clock time of the first picture (nanoseconds since 1970,
// to compare with the moment the program was started), then frames and
// presents per second and the CPU share of one core over
// S seconds (20) on the title screen, 2 s after the first picture, and in a
// match, 3 s after it began; then ends. With --rising an announcement rises
// over the match throughout, a new one whenever the last has stopped. With
// --first-picture it ends once the first picture is out.
// Started from the build folder, it reads the data painted there.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "hge_entry.h"
#include "hge_testing.h"
#include "main.h"
#include "match.h"
#include "message.h"

namespace {

constexpr double TITLE_WARMUP = 2.0;
constexpr double MATCH_WARMUP = 3.0;

// The process's CPU time, user and kernel (winpthread asks GetProcessTimes).
double CpuSeconds()
{
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) + cpu.tv_nsec * 1e-9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long long UnixNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Counts {
    int frames = 0;
    int presents = 0;
    double cpu = 0.0;
    double wall = 0.0;
};

Counts CountsNow()
{
    return {hgeTesting::FrameCount(), hgeTesting::PresentCount(), CpuSeconds(), WallSeconds()};
}

void Report(const char *what, const Counts &from, const Counts &to)
{
    const double seconds = to.wall - from.wall;
    std::printf("%s: %.3f frames/s, %.2f presents/s, %.2f%% of one core over %.1f s\n", what,
                (to.frames - from.frames) / seconds, (to.presents - from.presents) / seconds,
                100.0 * (to.cpu - from.cpu) / seconds, seconds);
    std::fflush(stdout);
}

enum class Phase { FirstPicture, TitleWarmup, Title, MatchWarmup, Match };

}  // namespace

int main(int argc, char **argv)
{
    double measured_seconds = 20.0;
    bool rising = false;
    bool first_picture_only = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--seconds" && i + 1 < argc) {
            measured_seconds = std::stod(argv[++i]);
        } else if (argument == "--rising") {
            rising = true;
        } else if (argument == "--first-picture") {
            first_picture_only = true;
        } else {
            words.push_back(argument);
        }
    }
    Phase phase = Phase::FirstPicture;
    Counts start;
    hgeTesting::SetFrameHook([&](int) {
        const Counts now = CountsNow();
        switch (phase) {
        case Phase::FirstPicture:
            if (now.presents == 0)
                return false;
            std::printf("first picture: %lld\n", UnixNanoseconds());
            std::fflush(stdout);
            if (first_picture_only)
                return true;
            phase = Phase::TitleWarmup;
            start = now;
            return false;
        case Phase::TitleWarmup:
            if (now.wall - start.wall >= TITLE_WARMUP) {
                phase = Phase::Title;
                start = now;
            }
            return false;
        case Phase::Title:
            if (now.wall - start.wall < measured_seconds)
                return false;
            Report("title", start, now);
            hgeTesting::QueueKeys({HGEK_ENTER, HGEK_N});
            phase = Phase::MatchWarmup;
            start = now;
            return false;
        case Phase::MatchWarmup:
            if (now.wall - start.wall >= MATCH_WARMUP) {
                phase = Phase::Match;
                start = now;
            }
            break;
        case Phase::Match:
            if (now.wall - start.wall >= measured_seconds) {
                Report(rising ? "match, an announcement rising" : "match, waiting for a key", start, now);
                return true;
            }
            break;
        }
        const bool in_match = hge && hge->System_GetState(HGE_FRAMEFUNC) == Game;
        if (rising && in_match &&
            (message_bag.empty() || message_bag.front()->Get_Y() <= MESSAGE_STOP_Y)) {
            Clear_Messages();
            Announce("Fightin' time!");
        }
        return false;
    });
    return RunWinMain(words);
}
