// PNG files of ARGB pixels, on any platform and whether or not the engine
// is initiated. The art tool writes the game's pictures with SavePNG; the
// testing seam (hge_testing.h) reads targets and the window back into
// Pixels, which tests compare with pictures they load and save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hgePng {

// ARGB8888 pixels, row by row from the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;

    uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Pixels &other) const = default;
};

// Writes pixels as an RGBA PNG; false when the file cannot be written.
bool SavePNG(const Pixels &pixels, const std::string &path);
// Loads a PNG into pixels; empty pixels when it cannot be read.
Pixels LoadPNG(const std::string &path);

}  // namespace hgePng
