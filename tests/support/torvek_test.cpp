#include "torvek_test.h"

#include <filesystem>

namespace torvek_test {

std::string DataDir() { return TORVEK_DATA_DIR; }

std::string OutputDir()
{
    std::filesystem::path dir = std::filesystem::path(TORVEK_DATA_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace torvek_test
