#include "toolkit_test.h"

#include <filesystem>
#include <fstream>

#include "torvek_test.h"

namespace toolkit_test {

void Headless::SetUp()
{
    hgeTesting::UseHeadless();
    engine = hgeCreate(HGE_VERSION);
    ASSERT_TRUE(engine->System_Initiate());
    target = engine->Target_Create(CANVAS, CANVAS, false);
    ASSERT_NE(target, 0u);
    engine->Gfx_BeginScene(target);
    engine->Gfx_Clear(0);
    inScene = true;
    hgeTesting::RecordQuads(true);
}

void Headless::TearDown()
{
    if (inScene)
        engine->Gfx_EndScene();
    if (engine) {
        engine->Target_Free(target);
        engine->System_Shutdown();
        engine->Release();
    }
    hgeTesting::Reset();
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
        engine->Gfx_EndScene();
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

std::string ScratchDir()
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(torvek_test::OutputDir()) / "toolkit" /
                                (std::string(test->test_suite_name()) + "." + test->name());
    // Emptied once per test, so that files of an earlier run do not count.
    static std::filesystem::path emptied;
    if (dir != emptied)
        std::filesystem::remove_all(dir);
    emptied = dir;
    std::filesystem::create_directories(dir);
    return dir.string();
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

uint32_t TexelAt(int x, int y)
{
    return 0xFF000000u | static_cast<uint32_t>(x & 0xFF) << 16 |
           static_cast<uint32_t>(y & 0xFF) << 8 | 0x80u;
}

void WriteTexture(const std::string &path, int w, int h)
{
    hgeTesting::Pixels pixels;
    pixels.width = w;
    pixels.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.argb.push_back(TexelAt(x, y));
    ASSERT_TRUE(hgeTesting::SavePNG(pixels, path)) << path;
}

}  // namespace toolkit_test
