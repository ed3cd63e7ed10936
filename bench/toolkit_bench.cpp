// CPU time of the toolkit's own work: placing a sprite, measuring and laying
// out text, wrapping a paragraph, and reading a font description file. The
// engine runs headless outside any scene, so it takes each quad and draws
// nothing: what is timed is the toolkit.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "hge.h"
#include "hge_testing.h"
#include "hgefont.h"
#include "hgesprite.h"

namespace {

const char CREDITS[] = "TORVEK\n\nMade with SDL2 and SDL2_image\n\nThanks for playing!";
const char PARAGRAPH[] =
    "Two sides share a board of three rows of three cells. First they take turns "
    "placing one piece from the hand on an empty cell; when all nine cells are "
    "full, the fight begins and pieces capture their neighbours.";

// A headless engine and a printable font of 6×8 letters written to a
// temporary folder.
class Toolkit : public benchmark::Fixture {
public:
    void SetUp(benchmark::State &) override
    {
        hgeTesting::Reset();
        hgeTesting::UseHeadless();
        engine = hgeCreate(HGE_VERSION);
        engine->System_Initiate();

        folder = std::filesystem::temp_directory_path() / "torvek-toolkit-bench";
        std::filesystem::create_directories(folder);
        hgeTesting::Pixels texture;
        texture.width = 60;
        texture.height = 80;
        texture.argb.assign(static_cast<size_t>(texture.width) * texture.height, 0xFFFFFFFF);
        hgeTesting::SavePNG(texture, (folder / "bench.png").string());

        std::string description = "[HGEFONT]\nBitmap=bench.png\n";
        for (int c = 32; c < 127; ++c) {
            char line[64];
            std::snprintf(line, sizeof line, "Char=%X,%d,%d,6,8,0,1\n", c, (c - 32) % 10 * 6,
                          (c - 32) / 10 * 8);
            description += line;
        }
        path = (folder / "bench.fnt").string();
        std::FILE *file = std::fopen(path.c_str(), "wb");
        std::fwrite(description.data(), 1, description.size(), file);
        std::fclose(file);
        font = std::make_unique<hgeFont>(path.c_str());
    }

    void TearDown(benchmark::State &) override
    {
        font.reset();
        std::filesystem::remove_all(folder);
        engine->System_Shutdown();
        engine->Release();
        hgeTesting::Reset();
    }

    HGE *engine = nullptr;
    std::filesystem::path folder;
    std::string path;
    std::unique_ptr<hgeFont> font;
};

}  // namespace

BENCHMARK_F(Toolkit, SpriteRender)(benchmark::State &state)
{
    hgeSprite sprite(0, 0, 0, 58, 58);
    sprite.SetHotSpot(29, 29);
    float x = 0;
    for (auto _ : state) {
        sprite.Render(x, 51);
        x += 0.25f;
    }
}

BENCHMARK_F(Toolkit, SpriteRenderExTurned)(benchmark::State &state)
{
    hgeSprite sprite(0, 0, 0, 58, 58);
    sprite.SetHotSpot(29, 29);
    float rotation = 0.01f;
    for (auto _ : state) {
        sprite.RenderEx(128, 96, rotation, 2.0f, 0.0f);
        rotation += 0.01f;
    }
}

BENCHMARK_F(Toolkit, FontMeasureCredits)(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(font->GetStringWidth(CREDITS));
}

BENCHMARK_F(Toolkit, FontPrintfCentredCredits)(benchmark::State &state)
{
    for (auto _ : state)
        font->printf(128, 40, TEXT_CENTER, "%s", CREDITS);
}

BENCHMARK_F(Toolkit, FontPrintfbParagraph)(benchmark::State &state)
{
    for (auto _ : state)
        font->printfb(8, 8, 240, 176, TEXT_CENTER + TEXT_MIDDLE, "%s", PARAGRAPH);
}

BENCHMARK_F(Toolkit, FontLoad)(benchmark::State &state)
{
    for (auto _ : state) {
        hgeFont loaded(path.c_str());
        benchmark::DoNotOptimize(loaded.GetHeight());
    }
}
