// Helpers shared by the test areas.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hge_testing.h"

namespace torvek_test {

// The build folder, where Images/ and Fonts/ are made.
std::string DataDir();
// A folder for files a test writes (pictures saved on failure, small fonts).
std::string OutputDir();

// Runs the real program headless from the title screen: a virtual clock of
// 60 frames a second starting at `start_time`, Random_Int seeded with `seed`,
// the keys one per frame, and `hook` after every frame (true stops the loop).
// Returns what WinMain returns.
int RunGame(const std::vector<int> &keys, const std::function<bool(int frame)> &hook = nullptr,
            uint32_t seed = 1, float start_time = 0.0f);

// Compares pixels with a reference PNG under tests/<area>/golden/. On a
// difference (or a missing reference) both pictures are saved beside each
// other in OutputDir() and the result says where; with TORVEK_UPDATE_GOLDEN=1
// in the environment the reference is written instead.
std::string CompareWithGolden(const hgeTesting::Pixels &pixels, const std::string &area,
                              const std::string &name);

}  // namespace torvek_test
