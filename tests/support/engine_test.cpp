#include "engine_test.h"

#include <sstream>

namespace engine_test {

void UseHeadlessSeam()
{
    hgeTesting::Reset();
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock();
}

void HeadlessEngine::SetUp()
{
    UseHeadlessSeam();
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
    const std::string path = torvek_test::ScratchDir() + "/" + name + ".png";
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

std::string WindowMismatch(const hgeTesting::Pixels &window, const hgeTesting::Pixels &screen)
{
    if (window.width != screen.width * 4 || window.height != screen.height * 4)
        return "window of " + std::to_string(window.width) + "x" + std::to_string(window.height);
    return PictureMismatch(window, screen, 4, 0, 0);
}

std::string PictureMismatch(const hgeTesting::Pixels &window, const hgeTesting::Pixels &screen,
                            int scale, int left, int top)
{
    if (window.width == 0 || screen.width == 0)
        return "no picture to compare";
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            const int sx = (x - left) / scale, sy = (y - top) / scale;
            const bool inside = x >= left && y >= top && sx < screen.width && sy < screen.height;
            const uint32_t wanted = inside ? 0xFF000000u | (screen.At(sx, sy) & 0xFFFFFFu) : OPAQUE_BLACK;
            if (window.At(x, y) != wanted) {
                std::ostringstream where;
                where << "window pixel " << x << "," << y << " of " << window.width << "x"
                      << window.height << ": shown " << std::hex << window.At(x, y) << ", wanted "
                      << wanted;
                return where.str();
            }
        }
    }
    return "";
}

}  // namespace engine_test
