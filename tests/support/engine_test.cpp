#include "engine_test.h"

#include "torvek_test.h"

namespace engine_test {

void HeadlessEngine::SetUp()
{
    hgeTesting::Reset();
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock();
    hge = hgeCreate(HGE_VERSION);
    hge->System_SetState(HGE_SCREENWIDTH, 1024);
    hge->System_SetState(HGE_SCREENHEIGHT, 768);
    hge->System_SetState(HGE_TEXTUREFILTER, false);
    ASSERT_TRUE(hge->System_Initiate());
}

void HeadlessEngine::TearDown()
{
    hge->System_Shutdown();
    hge->Release();
    hgeTesting::Reset();
}

HTEXTURE HeadlessEngine::LoadPixels(const hgeTesting::Pixels &pixels, const std::string &name)
{
    // Named after the test too: tests run side by side in separate processes.
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string path = torvek_test::OutputDir() + "/engine-" + test + "-" + name + ".png";
    if (!hgeTesting::SavePNG(pixels, path))
        return 0;
    return hge->Texture_Load(path.c_str());
}

hgeTesting::Pixels MakePixels(int width, int height, const std::function<uint32_t(int, int)> &color)
{
    hgeTesting::Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.argb.push_back(color(x, y));
    return pixels;
}

hgeQuad MakeQuad(HTEXTURE tex, float x, float y, float w, float h, float u0, float v0, float u1,
                 float v1, DWORD color)
{
    hgeQuad quad{};
    quad.v[0] = {x, y, 0.5f, color, u0, v0};
    quad.v[1] = {x + w, y, 0.5f, color, u1, v0};
    quad.v[2] = {x + w, y + h, 0.5f, color, u1, v1};
    quad.v[3] = {x, y + h, 0.5f, color, u0, v1};
    quad.tex = tex;
    quad.blend = BLEND_DEFAULT;
    return quad;
}

}  // namespace engine_test
