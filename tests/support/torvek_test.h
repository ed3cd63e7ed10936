// Helpers shared by the test areas.
#pragma once

#include <cstdint>
#include <string>

namespace torvek_test {

// The build folder, where Images/ and Fonts/ are made.
std::string DataDir();
// A folder for files a test writes (pictures saved on failure, small fonts).
std::string OutputDir();

}  // namespace torvek_test
