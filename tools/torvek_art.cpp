// torvek_art ASSETS OUTPUT: paints every picture script of ASSETS/images and
// writes every font of ASSETS/fonts under OUTPUT, with the shared palette
// ASSETS/palette.txt. Any fault in a source stops the build with its place.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "art.h"

namespace fs = std::filesystem;

static std::vector<fs::path> Files_With(const fs::path &folder, const std::string &extension)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == extension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

static void Make_All(const fs::path &assets, const fs::path &output)
{
    const Palette palette = Read_Palette((assets / "palette.txt").string());
    for (const fs::path &script_path : Files_With(assets / "images", ".art")) {
        for (const Painted &painted : Run_Script(Read_Source(script_path.string()), palette, assets.string()))
            Save_Png(painted.picture, (output / painted.path).string());
    }
    for (const fs::path &glyph_path : Files_With(assets / "fonts", ".glyphs")) {
        const GlyphSet glyphs = Read_Glyphs(glyph_path.string());
        if (!glyphs.font_path.empty())
            Write_Font(glyphs, palette, output.string());
    }
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: torvek_art ASSETS_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        Make_All(argv[1], argv[2]);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "torvek_art: %s\n", error.what());
        return 1;
    }
    return 0;
}
