#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace torvek_test {

std::string DataDir() { return TORVEK_DATA_DIR; }

const std::vector<std::string> &DataFiles()
{
    static const std::vector<std::string> files = [] {
        std::vector<std::string> split;
        std::string list = TORVEK_DATA_FILES;
        for (size_t start = 0, comma; start < list.size(); start = comma + 1) {
            comma = std::min(list.find(',', start), list.size());
            split.push_back(list.substr(start, comma - start));
        }
        return split;
    }();
    return files;
}

std::string OutputDir()
{
    std::filesystem::path dir = std::filesystem::path(TORVEK_DATA_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string ScratchDir()
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(OutputDir()) / "scratch" /
                                (std::string(test->test_suite_name()) + "." + test->name());
    // Emptied once per test, so that files of an earlier run do not count.
    static std::filesystem::path emptied;
    if (dir != emptied)
        std::filesystem::remove_all(dir);
    emptied = dir;
    std::filesystem::create_directories(dir);
    return dir.string();
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string CompareWithGolden(const hgeTesting::Pixels &pixels, const std::string &area,
                              const std::string &name)
{
    namespace fs = std::filesystem;
    const fs::path golden = fs::path(TORVEK_SOURCE_DIR) / "tests" / area / "golden" / (name + ".png");
    const char *update = std::getenv("TORVEK_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        fs::create_directories(golden.parent_path());
        hgeTesting::SavePNG(pixels, golden.string());
        return "";
    }
    const hgeTesting::Pixels expected = hgeTesting::LoadPNG(golden.string());
    if (expected == pixels)
        return "";
    const fs::path actual = fs::path(OutputDir()) / (area + "-" + name + ".actual.png");
    const fs::path wanted = fs::path(OutputDir()) / (area + "-" + name + ".golden.png");
    hgeTesting::SavePNG(pixels, actual.string());
    if (expected.width > 0)
        hgeTesting::SavePNG(expected, wanted.string());
    return expected.width == 0
               ? "no golden picture " + golden.string() + "; actual saved as " + actual.string()
               : "differs from " + golden.string() + "; see " + actual.string() + " and " +
                     wanted.string();
}

}  // namespace torvek_test
