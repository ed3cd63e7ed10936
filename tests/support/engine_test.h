// Helpers for tests that drive the engine directly: a headless engine opened
// for one test, and small pictures written as PNG files to load as textures.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "hge.h"
#include "hge_testing.h"

namespace engine_test {

// Opens a headless 1024x768 engine with the virtual clock and nearest-texel
// sampling before each test, and closes it afterwards.
class HeadlessEngine : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads pixels as a texture by writing them to a PNG file first.
    HTEXTURE LoadPixels(const hgeTesting::Pixels &pixels, const std::string &name);

    HGE *hge = nullptr;
};

// Pixels of the given size, each coloured by `color(x, y)`.
hgeTesting::Pixels MakePixels(int width, int height, const std::function<uint32_t(int, int)> &color);

// A quad over the rectangle (x, y, w, h) with texture coordinates spanning
// (u0, v0) to (u1, v1), one colour on every corner, blend mode 2.
hgeQuad MakeQuad(HTEXTURE tex, float x, float y, float w, float h, float u0 = 0.0f, float v0 = 0.0f,
                 float u1 = 1.0f, float v1 = 1.0f, DWORD color = 0xFFFFFFFF);

}  // namespace engine_test
