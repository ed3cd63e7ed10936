#include "toolkit_test.h"

namespace toolkit_test {

using torvek_test::ScratchDir;
using torvek_test::WriteFile;

void Headless::SetUp()
{
    HeadlessEngine::SetUp();
    if (HasFatalFailure())
        return;
    target = hge->Target_Create(CANVAS, CANVAS, false);
    ASSERT_NE(target, 0u);
    hge->Gfx_BeginScene(target);
    hge->Gfx_Clear(0);
    inScene = true;
    hgeTesting::RecordQuads(true);
}

void Headless::TearDown()
{
    if (inScene)
        hge->Gfx_EndScene();
    hge->Target_Free(target);
    HeadlessEngine::TearDown();
}

std::vector<hgeQuad> Headless::TakeQuads()
{
    std::vector<hgeQuad> quads;
    for (const hgeTesting::RecordedQuad &recorded : hgeTesting::Quads())
        quads.push_back(recorded.quad);
    hgeTesting::ClearQuads();
    return quads;
}

hgeTesting::Pixels Headless::Picture()
{
    if (inScene)
        hge->Gfx_EndScene();
    inScene = false;
    return hgeTesting::ReadTarget(target);
}

std::vector<Spot> Spots(const std::vector<hgeQuad> &quads)
{
    std::vector<Spot> spots;
    for (const hgeQuad &quad : quads)
        spots.push_back({quad.v[0].x, quad.v[0].y});
    return spots;
}

void PrintTo(const Spot &spot, std::ostream *out) { *out << "(" << spot.x << ", " << spot.y << ")"; }

const char FONT_HEADER[] = "[HGEFONT]\nBitmap=font.png\n";
const char FONT_AB[] =
    "[HGEFONT]\n"
    "Bitmap=font.png\n"
    "Char=41,0,0,8,12,1,2\n"
    "Char=42,8,0,6,12,0,1\n";

void Fonts::SetUp()
{
    Headless::SetUp();
    dir = ScratchDir();
    WriteTexture(Path("font.png"), FONT_TEXTURE_WIDTH, 16);
}

std::unique_ptr<hgeFont> Fonts::Load(const std::string &description, const std::string &name)
{
    WriteFile(Path(name), description);
    return std::make_unique<hgeFont>(Path(name).c_str());
}

int Fonts::IncorrectFormatLines(const std::string &path) const
{
    const std::string expected = "Font " + path + " has incorrect format.";
    int count = 0;
    for (const std::string &line : hgeTesting::LogLines())
        count += line == expected;
    return count;
}

uint32_t TexelAt(int x, int y)
{
    return 0xFF000000u | static_cast<uint32_t>(x & 0xFF) << 16 |
           static_cast<uint32_t>(y & 0xFF) << 8 | 0x80u;
}

void WriteTexture(const std::string &path, int w, int h)
{
    ASSERT_TRUE(hgeTesting::SavePNG(engine_test::MakePixels(w, h, TexelAt), path)) << path;
}

}  // namespace toolkit_test
