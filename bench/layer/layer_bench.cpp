// CPU time per frame of the program's own code (game, toolkit and engine
// layer) without SDL: the real program in the same positions as the frame
// benchmarks, with SDL's per-frame calls stood in for by stubs that return at
// once (sdl_stubs.cpp). What remains is everything a frame does outside SDL:
// the frame loop, key reading, the game's logic and drawing, sprite and font
// placement, and the engine turning each quad into SDL calls.
//
//   layer/<position>/redrawn   every frame drawn in full, as if it were new
//   layer/<position>/resting   as the program runs: a repeated scene is
//                              compared with the last one, not drawn
#include <benchmark/benchmark.h>

#include "positions.h"
#include "sdl_stubs.h"

namespace {

using bench::Position;

constexpr int PROGRAM_FRAMES = 20000;
constexpr int WARMUP_FRAMES = 30;

void LayerFrame(benchmark::State &state, Position position, bool redrawn)
{
    int frames = -1;
    int warmup = WARMUP_FRAMES;
    long calls = 0;
    const bool reached = bench::RunInPosition(position, [&] {
        hgeTesting::RedrawEveryFrame(redrawn);
        if (warmup-- > 0)
            return false;
        if (frames < 0)
            bench::StubSdlDrawing(true);
        ++frames;
        if (state.KeepRunning())
            return false;
        calls = bench::StubbedCalls();
        bench::StubSdlDrawing(false);
        return true;
    });
    bench::StubSdlDrawing(false);
    // Without stood-in calls the stubs were not in the way of SDL at all.
    if (!reached || calls == 0) {
        state.SkipWithError(reached ? "no SDL call was stood in for" : "the position was not reached");
        return;
    }
    state.counters["sdl_calls/frame"] = static_cast<double>(calls) / frames;
}

const bool registered = [] {
    for (Position position :
         {Position::Title, Position::Placing, Position::Fighting, Position::Capture}) {
        const std::string name = std::string("layer/") + bench::PositionName(position);
        benchmark::RegisterBenchmark((name + "/redrawn").c_str(), LayerFrame, position, true)
            ->Iterations(PROGRAM_FRAMES)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((name + "/resting").c_str(), LayerFrame, position, false)
            ->Iterations(PROGRAM_FRAMES)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
