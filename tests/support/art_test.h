// Helpers of the art tests: the pictures the build paints, read back as
// pixels, and the few measures the tests judge them by.
#pragma once

#include <cstdint>
#include <string>

#include "hge_testing.h"

namespace art_test {

// A file the build paints, by its path under the build folder. A missing or
// unreadable file gives empty pixels.
hgeTesting::Pixels LoadArt(const std::string &path);

// The rectangle (x, y, w, h) of a picture.
hgeTesting::Pixels Crop(const hgeTesting::Pixels &pixels, int x, int y, int w, int h);
// Every pixel as a factor × factor block, as the window shows the virtual screen.
hgeTesting::Pixels Magnify(const hgeTesting::Pixels &pixels, int factor);

inline int Alpha(uint32_t argb) { return static_cast<int>(argb >> 24); }
inline bool Opaque(uint32_t argb) { return Alpha(argb) == 0xFF; }
// Perceived brightness, 0 (black) to 255 (white).
int Luminance(uint32_t argb);

// Opaque pixels of a picture inside the rectangle (x, y, w, h).
int CountOpaque(const hgeTesting::Pixels &pixels, int x, int y, int w, int h);

// A folder in the build folder for the pictures the preview test saves.
std::string PreviewDir();

}  // namespace art_test
