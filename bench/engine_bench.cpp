// CPU time of one headless frame as the game composes it: 40 sprite-sized
// quads into the 256x192 virtual screen, then that screen drawn 4x onto the
// window and presented.
#include <benchmark/benchmark.h>

#include <vector>

#include "hge.h"
#include "hge_entry.h"
#include "hge_testing.h"

namespace {

constexpr int SCREEN_W = 256;
constexpr int SCREEN_H = 192;
constexpr int SCALE = 4;
constexpr int QUADS = 40;
constexpr int SPRITE = 24;

hgeQuad QuadAt(HTEXTURE tex, float x, float y, float w, float h)
{
    hgeQuad quad{};
    quad.v[0] = {x, y, 0.5f, 0xFFFFFFFF, 0, 0};
    quad.v[1] = {x + w, y, 0.5f, 0xFFFFFFFF, 1, 0};
    quad.v[2] = {x + w, y + h, 0.5f, 0xFFFFFFFF, 1, 1};
    quad.v[3] = {x, y + h, 0.5f, 0xFFFFFFFF, 0, 1};
    quad.tex = tex;
    quad.blend = BLEND_DEFAULT;
    return quad;
}

// Opens the headless engine; the window is drawn as on screen (CaptureWindow
// reads it back, which a player's frame does not do, so it stays off).
struct HeadlessFrame {
    HeadlessFrame(bool draw_window)
    {
        hgeTesting::Reset();
        hgeTesting::UseHeadless();
        hgeTesting::UseVirtualClock();
        hgeTesting::DrawHeadlessWindow(draw_window);
        // The same 40 quads every frame would otherwise be a resting screen,
        // neither drawn nor presented again after the first frame.
        hgeTesting::RedrawEveryFrame(true);
        hge = hgeCreate(HGE_VERSION);
        hge->System_SetState(HGE_SCREENWIDTH, SCREEN_W * SCALE);
        hge->System_SetState(HGE_SCREENHEIGHT, SCREEN_H * SCALE);
        hge->System_SetState(HGE_TEXTUREFILTER, false);
        ready = hge->System_Initiate();
        target = hge->Target_Create(SCREEN_W, SCREEN_H, true);
        // A sprite-sized picture with soft alpha, as the piece art has.
        std::vector<uint32_t> argb(SPRITE * SPRITE);
        for (int i = 0; i < SPRITE * SPRITE; ++i)
            argb[i] = (i % 7 ? 0xFF000000u : 0x80000000u) | static_cast<uint32_t>(i * 2654435761u >> 8);
        hgeTesting::Pixels pixels{SPRITE, SPRITE, argb};
        hgeTesting::SavePNG(pixels, "engine-bench-sprite.png");
        sprite = hge->Texture_Load("engine-bench-sprite.png");
        for (int i = 0; i < QUADS; ++i)
            quads.push_back(QuadAt(sprite, (i * 37) % (SCREEN_W - SPRITE), (i * 23) % (SCREEN_H - SPRITE),
                                   SPRITE, SPRITE));
        window_quad = QuadAt(hge->Target_GetTexture(target), 0, 0, SCREEN_W * SCALE, SCREEN_H * SCALE);
    }

    ~HeadlessFrame()
    {
        hge->Texture_Free(sprite);
        hge->Target_Free(target);
        hge->System_Shutdown();
        hge->Release();
        hgeTesting::Reset();
    }

    void Frame()
    {
        hge->Gfx_BeginScene(target);
        hge->Gfx_Clear(0);
        for (const hgeQuad &quad : quads)
            hge->Gfx_RenderQuad(&quad);
        hge->Gfx_EndScene();
        hge->Gfx_BeginScene(0);
        hge->Gfx_Clear(0);
        hge->Gfx_RenderQuad(&window_quad);
        hge->Gfx_EndScene();
    }

    HGE *hge = nullptr;
    bool ready = false;
    HTARGET target = 0;
    HTEXTURE sprite = 0;
    std::vector<hgeQuad> quads;
    hgeQuad window_quad{};
};

void RunFrames(benchmark::State &state, bool draw_window)
{
    HeadlessFrame frame(draw_window);
    if (!frame.ready || !frame.sprite) {
        state.SkipWithError("the headless engine did not open");
        return;
    }
    for (auto _ : state)
        frame.Frame();
}

// What a player's frame costs the CPU.
void BM_FortyQuadFrameWithWindow(benchmark::State &state)
{
    RunFrames(state, true);
}
BENCHMARK(BM_FortyQuadFrameWithWindow)->Unit(benchmark::kMicrosecond);

// What a scripted test's frame costs when nobody reads the window.
void BM_FortyQuadFrameHeadlessTest(benchmark::State &state)
{
    RunFrames(state, false);
}
BENCHMARK(BM_FortyQuadFrameHeadlessTest)->Unit(benchmark::kMicrosecond);

// A scripted minute of play (3600 frames at the virtual 60 Hz) of the real
// program from its title screen into a match, headless as the tests run it.
void BM_ScriptedMinuteOfPlay(benchmark::State &state)
{
    constexpr int FRAMES = 3600;
    for (auto _ : state) {
        hgeTesting::Reset();
        hgeTesting::UseHeadless();
        hgeTesting::UseVirtualClock();
        hgeTesting::SetSeed(7);
        hgeTesting::QueueKeys({0, HGEK_ENTER, 0, HGEK_N});
        hgeTesting::SetFrameHook([](int frame) { return frame + 1 >= FRAMES; });
        RunWinMain();
        if (hgeTesting::FrameCount() != FRAMES)
            state.SkipWithError("the program ended before a minute of play");
    }
    hgeTesting::Reset();
}
// Once: the program's globals are made for one run of WinMain per process.
BENCHMARK(BM_ScriptedMinuteOfPlay)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
