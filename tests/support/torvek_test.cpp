#include "torvek_test.h"

#include "hge_entry.h"

namespace torvek_test {

int RunGame(const std::vector<int> &keys, const std::function<bool(int frame)> &hook,
            uint32_t seed, float start_time, std::vector<std::string> words)
{
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(1.0f / 60.0f, start_time);
    hgeTesting::SetSeed(seed);
    hgeTesting::QueueKeys(keys);
    if (hook)
        hgeTesting::SetFrameHook(hook);
    return RunWinMain(std::move(words));
}

}  // namespace torvek_test
