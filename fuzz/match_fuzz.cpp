// Fuzz target: the input's first byte chooses who plays (two people, or the
// computer for one side or both), the rest is a run of match frames, one
// byte a frame. The low four bits choose the frame's key, the high four how
// far the clock moves before it. The real program starts headless from the
// title screen, Enter and N start a match, the input plays it, and every
// promise of the match is checked after every frame (soak_watch.h); a broken
// one aborts. The run ends with the input, through the program's own shutdown.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hge_testing.h"
#include "main.h"
#include "soak_watch.h"

namespace {

constexpr int AIMED = -1;

// Half of the codes press what a player who knows the rules would press, so
// that random inputs reach captures and wins; the other half any key a
// match reads, no key, or keys it does not read. Escape is not among them:
// the input's end stops the program.
const int KEYS[16] = {
    AIMED, AIMED, AIMED, AIMED, AIMED, AIMED, AIMED, AIMED,
    0, HGEK_LEFT, HGEK_RIGHT, HGEK_UP, HGEK_DOWN, HGEK_SPACE, HGEK_BACKSPACE, HGEK_ENTER,
};

// In 64ths of a second: mostly single frames, up to four seconds, which
// passes an announcement or a whole animation step at once.
const int STEPS[16] = {1, 1, 1, 1, 1, 1, 2, 4, 8, 16, 32, 64, 64, 96, 128, 256};

// Enter on the title screen, N on the menu.
const int MENU_KEYS[] = {HGEK_ENTER, HGEK_N};
constexpr int MENU_FRAMES = 2;
constexpr double START_TIME = 1000.0;

const std::vector<std::string> PLAYERS[4] = {
    {}, {"--computer", "solids"}, {"--computer", "stripes", "--level", "easy"}, {"--computer", "both"},
};

int Key_Of(uint8_t frame)
{
    const int key = KEYS[frame & 0x0F];
    return key == AIMED ? soak::Aimed_Key() : key;
}

double Step_Of(uint8_t frame)
{
    return STEPS[frame >> 4] / 64.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // WinMain starts every run from the game's program-start state.
    const std::vector<std::string> words = size > 0 ? PLAYERS[data[0] % 4] : std::vector<std::string>();
    if (size > 0) {
        ++data;
        --size;
    }
    soak::Match_Watch watch;
    double now = START_TIME;

    hgeTesting::Reset();
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(0.0f, static_cast<float>(now));
    hgeTesting::SetSeed(static_cast<uint32_t>(size));
    hgeTesting::QueueKeys({MENU_KEYS[0]});
    hgeTesting::SetFrameHook([&](int frame) {
        const std::string problem = watch.After_Frame();
        if (!problem.empty()) {
            std::fprintf(stderr, "match fuzz: frame %d: %s\n", frame, problem.c_str());
            std::abort();
        }
        const int next = frame + 1;
        if (next < MENU_FRAMES) {
            hgeTesting::QueueKeys({MENU_KEYS[next]});
            now += Step_Of(0);
        } else {
            const size_t index = static_cast<size_t>(next - MENU_FRAMES);
            if (index >= size)
                return true;
            hgeTesting::QueueKeys({Key_Of(data[index])});
            now += Step_Of(data[index]);
        }
        hgeTesting::SetTime(static_cast<float>(now));
        return false;
    });
    // Images/ and Fonts/ are painted into the build folder. The working
    // folder is given back afterwards: libFuzzer's own paths may be relative.
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(TORVEK_DATA_DIR);
    const int exit_code = RunWinMain(words);
    std::filesystem::current_path(home);
    if (exit_code != 0) {
        std::fprintf(stderr, "match fuzz: the program did not start\n");
        std::abort();
    }
    if (size > 0 && watch.Counts().match_frames == 0) {
        std::fprintf(stderr, "match fuzz: Enter and N did not start a match\n");
        std::abort();
    }
    hgeTesting::Reset();
    return 0;
}
