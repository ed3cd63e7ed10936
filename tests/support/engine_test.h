// Helpers for tests that drive the engine directly: the one headless engine
// fixture, small pictures made in place and loaded as textures, and quads.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "hge.h"
#include "hge_testing.h"
#include "test_files.h"

namespace engine_test {

constexpr uint32_t TRANSPARENT = 0x00000000;  // what a cleared target holds
constexpr uint32_t OPAQUE_BLACK = 0xFF000000;

// Chooses what every headless test runs on, forgetting earlier choices:
// SDL's dummy video driver and the virtual clock.
void UseHeadlessSeam();

// Opens a headless 1024x768 engine with the virtual clock and nearest-texel
// sampling before each test, and closes it afterwards.
class HeadlessEngine : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads pixels as a texture, through a PNG file `name`.png in the test's
    // own folder; 0 when they cannot be written or loaded.
    HTEXTURE LoadPixels(const hgeTesting::Pixels &pixels, const std::string &name);

    HGE *hge = nullptr;
};

// Pixels of the given size, each coloured by `color(x, y)`.
hgeTesting::Pixels MakePixels(int width, int height, const std::function<uint32_t(int, int)> &color);

// A quad over the rectangle (x, y, w, h) with texture coordinates spanning
// (u0, v0) to (u1, v1), one colour on every corner, blend mode 2.
hgeQuad MakeQuad(HTEXTURE tex, float x, float y, float w, float h, float u0 = 0.0f, float v0 = 0.0f,
                 float u1 = 1.0f, float v1 = 1.0f, DWORD color = 0xFFFFFFFF);

// Where the window is not the virtual screen enlarged 4x, filling it (a
// target drawn onto the window keeps its colours and loses its alpha); ""
// when it is.
std::string WindowMismatch(const hgeTesting::Pixels &window, const hgeTesting::Pixels &screen);

// Where the window does not show `screen` as exact scale x scale blocks from
// (left, top), with black everywhere around it; checks every window pixel.
// "" when it does.
std::string PictureMismatch(const hgeTesting::Pixels &window, const hgeTesting::Pixels &screen,
                            int scale, int left, int top);

}  // namespace engine_test
