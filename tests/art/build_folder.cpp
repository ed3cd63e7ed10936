// The art is read by relative paths, as the game reads it, so every art test
// runs in the build folder where Images/ and Fonts/ are made, also when the
// test program is started by hand from elsewhere.
#include <gtest/gtest.h>

#include <filesystem>

#include "torvek_test.h"

namespace {

class BuildFolder : public ::testing::Environment {
public:
    void SetUp() override { std::filesystem::current_path(torvek_test::DataDir()); }
};

[[maybe_unused]] ::testing::Environment *const build_folder =
    ::testing::AddGlobalTestEnvironment(new BuildFolder);

}  // namespace
