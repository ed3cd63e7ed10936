// Fuzz target: arbitrary bytes as a font description file, read by the real
// font constructor, then the font measures, draws and wraps text (including
// the input itself) into a render target of the headless engine.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "hge.h"
#include "hge_testing.h"
#include "hgefont.h"

namespace {

HGE *engine = nullptr;
HTARGET target = 0;
std::filesystem::path folder;
std::string description;

// Longest piece of the input that is also drawn as text.
constexpr size_t MAX_TEXT = 200;

const char *const TEXTS[] = {
    "AB\nA",
    "A\n\nB\r\nC\rD",
    "aa bb cc",
    "abcd ef",
    "  leading and trailing  ",
    "\n\n\n",
    "",
};

void RemoveFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// The folder the description file is written to, with the texture that the
// seed files name beside it: TORVEK_FUZZ_SCRATCH when set (fuzz/run.sh makes
// and removes one), else a folder of this process's own in memory or /tmp.
void MakeFolder()
{
    if (const char *scratch = std::getenv("TORVEK_FUZZ_SCRATCH")) {
        folder = scratch;
    } else {
        std::error_code error;
        std::filesystem::path base = std::filesystem::exists("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        folder = base / ("torvek-font-fuzz-" + std::to_string(getpid()));
        std::atexit(RemoveFolder);
    }
    std::filesystem::create_directories(folder);
    description = (folder / "font.fnt").string();

    hgeTesting::Pixels texture;
    texture.width = 64;
    texture.height = 32;
    for (int y = 0; y < texture.height; ++y)
        for (int x = 0; x < texture.width; ++x)
            texture.argb.push_back((x ^ y) & 1 ? 0xFFFFFFFFu : 0x00000000u);
    if (!hgeTesting::SavePNG(texture, (folder / "font.png").string()))
        std::abort();
}

// Grows what the engine and SDL keep between frames (the render command
// queue, the log the testing seam holds) to its steady size, so that a run
// that allocates and frees alike is not taken for a leak.
void WarmUp()
{
    hgeQuad quad{};
    quad.blend = BLEND_DEFAULT;
    engine->Gfx_BeginScene(target);
    for (int i = 0; i < 4 * 1024; ++i)
        engine->Gfx_RenderQuad(&quad);
    engine->Gfx_EndScene();
    for (int i = 0; i < 1000; ++i)
        engine->System_Log("font fuzz: warming up the log");
}

bool WriteDescription(const uint8_t *data, size_t size)
{
    std::FILE *file = std::fopen(description.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// SDL's software renderer scales a quad through a temporary surface as large
// as the whole quad, unclipped (20000×20000 pixels: 1.5 GB and 3 seconds), so
// fonts with letters that large are laid out without a scene, where the
// engine takes the quads and draws nothing.
bool LettersFitOnScreen(const hgeFont &font)
{
    constexpr float LARGEST = 1024.0f;
    for (int code = 0; code < 256; ++code) {
        const hgeSprite *letter = font.GetSprite(static_cast<unsigned char>(code));
        if (letter && !(std::fabs(letter->GetWidth()) <= LARGEST &&
                        std::fabs(letter->GetHeight()) <= LARGEST))
            return false;
    }
    return true;
}

void Exercise(hgeFont &font, const char *input)
{
    font.SetColor(0xFFECECEC);
    font.SetZ(0.0f);
    font.SetBlendMode(BLEND_DEFAULT);
    for (const char *text : TEXTS)
        font.GetStringWidth(text);
    font.GetStringWidth(input);

    const bool drawn = LettersFitOnScreen(font);
    if (drawn) {
        engine->Gfx_BeginScene(target);
        engine->Gfx_Clear(0);
    }
    font.Render(128, 8, TEXT_CENTER, "AB\nA");
    font.Render(250, 40, TEXT_RIGHT, input);
    font.printf(4, 80, TEXT_LEFT, "%s %d", input, 42);
    font.printfb(8, 100, 120, 60, TEXT_CENTER + TEXT_MIDDLE, "%s", input);
    font.printfb(8, 100, 30, 60, TEXT_RIGHT + TEXT_BOTTOM, "%s", TEXTS[2]);
    if (drawn)
        engine->Gfx_EndScene();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    hgeTesting::UseHeadless();
    engine = hgeCreate(HGE_VERSION);
    if (!engine->System_Initiate())
        std::abort();
    target = engine->Target_Create(256, 192, false);
    MakeFolder();
    WarmUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!WriteDescription(data, size))
        std::abort();
    const std::string input(reinterpret_cast<const char *>(data),
                            size < MAX_TEXT ? size : MAX_TEXT);
    auto *font = new hgeFont(description.c_str());
    Exercise(*font, input.c_str());

    // Every texture the font's letters use is the font's own and goes with it.
    std::vector<HTEXTURE> textures;
    for (int code = 0; code < 256; ++code) {
        if (const hgeSprite *letter = font->GetSprite(static_cast<unsigned char>(code)))
            textures.push_back(letter->GetTexture());
    }
    delete font;
    for (HTEXTURE texture : textures) {
        if (texture && engine->Texture_GetWidth(texture) != 0)
            std::abort();
    }
    return 0;
}
