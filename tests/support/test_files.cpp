#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace torvek_test {

std::string EnginePath(const std::filesystem::path &path)
{
    const std::u8string utf8 = path.generic_u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::filesystem::path FilePath(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

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
    std::filesystem::path dir = FilePath(TORVEK_DATA_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    return EnginePath(dir);
}

std::string ScratchDir()
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = FilePath(OutputDir()) / "scratch" /
                                (std::string(test->test_suite_name()) + "." + test->name());
    // Emptied once per test, so that files of an earlier run do not count.
    static std::filesystem::path emptied;
    if (dir != emptied)
        std::filesystem::remove_all(dir);
    emptied = dir;
    std::filesystem::create_directories(dir);
    return EnginePath(dir);
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(FilePath(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(FilePath(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string CompareWithGolden(const hgeTesting::Pixels &pixels, const std::string &area,
                              const std::string &name)
{
    namespace fs = std::filesystem;
    const fs::path golden = FilePath(TORVEK_SOURCE_DIR) / "tests" / area / "golden" / (name + ".png");
    const char *update = std::getenv("TORVEK_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        fs::create_directories(golden.parent_path());
        hgeTesting::SavePNG(pixels, EnginePath(golden));
        return "";
    }
    const hgeTesting::Pixels expected = hgeTesting::LoadPNG(EnginePath(golden));
    if (expected == pixels)
        return "";
    const std::string actual = OutputDir() + "/" + area + "-" + name + ".actual.png";
    const std::string wanted = OutputDir() + "/" + area + "-" + name + ".golden.png";
    hgeTesting::SavePNG(pixels, actual);
    if (expected.width > 0)
        hgeTesting::SavePNG(expected, wanted);
    return expected.width == 0
               ? "no golden picture " + EnginePath(golden) + "; actual saved as " + actual
               : "differs from " + EnginePath(golden) + "; see " + actual + " and " + wanted;
}

}  // namespace torvek_test
