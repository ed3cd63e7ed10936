// Helpers of the toolkit tests: a headless engine drawing into a small
// target with every quad recorded, and the small textures and font
// description files the tests write for themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine_test.h"
#include "hgefont.h"

namespace toolkit_test {

// Side of the square target the tests draw into.
constexpr int CANVAS = 256;

// The headless engine in a scene on a cleared CANVAS×CANVAS target,
// recording every quad drawn.
class Headless : public engine_test::HeadlessEngine {
protected:
    void SetUp() override;
    void TearDown() override;

    // The quads drawn since the last call, which then forgets them.
    std::vector<hgeQuad> TakeQuads();
    // Ends the scene and reads the target back.
    hgeTesting::Pixels Picture();

    HTARGET target = 0;
    bool inScene = false;
};

// Left x and top y of a drawn quad's first corner.
struct Spot {
    float x, y;
    bool operator==(const Spot &) const = default;
};
std::vector<Spot> Spots(const std::vector<hgeQuad> &quads);
void PrintTo(const Spot &spot, std::ostream *out);

// Fonts read from description files written into the test's own folder,
// beside a FONT_TEXTURE_WIDTH×16 texture "font.png".
class Fonts : public Headless {
protected:
    void SetUp() override;

    std::string Path(const std::string &name) const { return dir + "/" + name; }
    // Writes the description to `name` in the test's folder and reads it.
    std::unique_ptr<hgeFont> Load(const std::string &description,
                                  const std::string &name = "font.fnt");
    // How often the font module's one diagnostic was logged for `path`.
    int IncorrectFormatLines(const std::string &path) const;

    std::string dir;
};

constexpr int FONT_TEXTURE_WIDTH = 64;
// The header and the texture line of a font over font.png.
extern const char FONT_HEADER[];
// Letters A (8×12, 1 before, 2 after) and B (6×12, none before, 1 after).
extern const char FONT_AB[];

// The colour of texel (x, y) in every texture the tests write: opaque and
// different for each texel, so a read-back pixel tells which texel landed.
uint32_t TexelAt(int x, int y);
// Writes a w×h PNG of TexelAt texels.
void WriteTexture(const std::string &path, int w, int h);

}  // namespace toolkit_test
