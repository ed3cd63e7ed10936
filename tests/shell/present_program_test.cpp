// The whole program from the title through the menus into a match and one
// placing: at every frame the window shows that frame's virtual screen,
// while screens at rest are presented only when they change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "hge_entry.h"

using hgeTesting::Pixels;
using hgeTesting::RecordedQuad;

namespace {

// The render target a frame's window scene shows: the texture its quads draw
// from (a target's texture has the target's own handle), or 0.
HTARGET ShownTarget(HGE *hge, const std::vector<RecordedQuad> &drawn)
{
    for (const RecordedQuad &recorded : drawn) {
        if (recorded.target == 0 && recorded.quad.tex &&
            hge->Target_GetTexture(recorded.quad.tex) == recorded.quad.tex)
            return recorded.quad.tex;
    }
    return 0;
}

TEST(RestingProgram, ThePlayerSeesEveryChangeAndRestingScreensArePresentedOnce)
{
    const int R = HGEK_ESCAPE;
    std::vector<int> keys = {0, 0, 0, 0, 0,               // 0-4: the title at rest
                             HGEK_ENTER, 0, 0, 0, 0,      // 5: the main menu
                             HGEK_I, 0, 0, 0, R, 0, 0, 0,  // 10, 14: options and back
                             HGEK_K, 0, 0, 0, R, 0, 0, 0,  // 18, 22: credits and back
                             HGEK_N};                     // 26: the match
    keys.insert(keys.end(), 40, 0);
    const int placing = static_cast<int>(keys.size());
    keys.insert(keys.end(), {HGEK_SPACE, HGEK_SPACE});  // the first hand piece, front-left
    keys.insert(keys.end(), 80, 0);                      // five seconds of its animation

    engine_test::UseHeadlessSeam();
    hgeTesting::UseVirtualClock(1.0f / 16.0f, 100.0f);
    hgeTesting::SetSeed(3);
    hgeTesting::CaptureWindow(true);
    hgeTesting::QueueKeys(keys);
    hgeTesting::RecordQuads(true);
    std::vector<int> presents;
    std::string first_mismatch;
    HTARGET redrawn = 0;
    hgeTesting::SetFrameHook([&](int frame) {
        HGE *hge = hgeCreate(HGE_VERSION);
        presents.push_back(hgeTesting::PresentCount());
        const std::vector<RecordedQuad> drawn = hgeTesting::Quads();
        const HTARGET screen = ShownTarget(hge, drawn);
        // The frame's quads drawn afresh into a target of their own, with
        // nothing held back or left out, are what the virtual screen holds.
        if (!redrawn)
            redrawn = hge->Target_Create(hge->Texture_GetWidth(screen),
                                         hge->Texture_GetHeight(screen), false);
        hgeTesting::RedrawEveryFrame(true);
        hge->Gfx_BeginScene(redrawn);
        hge->Gfx_Clear(0);
        for (const RecordedQuad &recorded : drawn) {
            if (recorded.target == screen)
                hge->Gfx_RenderQuad(&recorded.quad);
        }
        hge->Gfx_EndScene();
        hgeTesting::RedrawEveryFrame(false);
        hgeTesting::ClearQuads();
        const Pixels shown = hgeTesting::ReadTarget(screen);
        std::string mismatch;
        if (screen == 0)
            mismatch = "the window shows no virtual screen";
        else if (!(shown == hgeTesting::ReadTarget(redrawn)))
            mismatch = "the virtual screen is not what its quads draw";
        else
            mismatch = engine_test::WindowMismatch(hgeTesting::ReadWindow(), shown);
        if (!mismatch.empty() && first_mismatch.empty())
            first_mismatch = "frame " + std::to_string(frame) + ": " + mismatch;
        hge->Release();
        return frame + 1 == static_cast<int>(keys.size());
    });
    ASSERT_EQ(RunWinMain(), 0);
    hgeTesting::Reset();

    ASSERT_EQ(presents.size(), keys.size());
    EXPECT_NE(redrawn, 0u);
    EXPECT_EQ(first_mismatch, "");
    // Frame 1 presents again: the hook's target of frame 0 is a new resource.
    EXPECT_EQ(presents[4], presents[1]) << "the resting title was presented again";
    // Then the menu, options, menu, credits and menu: one present each.
    EXPECT_EQ(presents[25], presents[4] + 5);
    // The sun drifts a twentieth of a pixel a frame: now and then a present.
    EXPECT_GT(presents[placing - 1], presents[26]);
    EXPECT_LT(presents.back(), static_cast<int>(keys.size()) / 3);
}

}  // namespace
