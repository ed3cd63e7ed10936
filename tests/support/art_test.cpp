#include "art_test.h"

#include <filesystem>

#include "torvek_test.h"

namespace art_test {

hgeTesting::Pixels LoadArt(const std::string &path)
{
    return hgeTesting::LoadPNG(torvek_test::DataDir() + "/" + path);
}

hgeTesting::Pixels Crop(const hgeTesting::Pixels &pixels, int x, int y, int w, int h)
{
    hgeTesting::Pixels part;
    part.width = w;
    part.height = h;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            part.argb.push_back(pixels.At(column, row));
    return part;
}

hgeTesting::Pixels Magnify(const hgeTesting::Pixels &pixels, int factor)
{
    hgeTesting::Pixels large;
    large.width = pixels.width * factor;
    large.height = pixels.height * factor;
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x)
            large.argb.push_back(pixels.At(x / factor, y / factor));
    return large;
}

int Luminance(uint32_t argb)
{
    const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return (299 * r + 587 * g + 114 * b) / 1000;
}

int CountOpaque(const hgeTesting::Pixels &pixels, int x, int y, int w, int h)
{
    int count = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            if (Opaque(pixels.At(column, row)))
                ++count;
    return count;
}

std::string PreviewDir()
{
    const std::filesystem::path dir = std::filesystem::path(torvek_test::DataDir()) / "art-preview";
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace art_test
