#include "torvek_test.h"

#include <cstdlib>
#include <filesystem>

#include "hge_entry.h"

namespace torvek_test {

std::string DataDir() { return TORVEK_DATA_DIR; }

std::string OutputDir()
{
    std::filesystem::path dir = std::filesystem::path(TORVEK_DATA_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    return dir.string();
}

int RunGame(const std::vector<int> &keys, const std::function<bool(int frame)> &hook,
            uint32_t seed, float start_time)
{
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(1.0f / 60.0f, start_time);
    hgeTesting::SetSeed(seed);
    hgeTesting::QueueKeys(keys);
    if (hook)
        hgeTesting::SetFrameHook(hook);
    char command_line[] = "";
    return WinMain(nullptr, nullptr, command_line, 1);
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
