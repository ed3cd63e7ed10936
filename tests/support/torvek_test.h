// Helpers of the tests that run the whole program, beside the engine-level
// ones on files and pictures (test_files.h) that every area shares.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_files.h"

namespace torvek_test {

// Runs the real program headless from the title screen: a virtual clock of
// 60 frames a second starting at `start_time`, Random_Int seeded with `seed`,
// the keys one per frame, and `hook` after every frame (true stops the loop),
// started with the words of its command line. Returns what WinMain returns.
int RunGame(const std::vector<int> &keys, const std::function<bool(int frame)> &hook = nullptr,
            uint32_t seed = 1, float start_time = 0.0f, std::vector<std::string> words = {});

}  // namespace torvek_test
