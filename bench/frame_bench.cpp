// CPU time of one whole frame of the real program (events, Game or Menu,
// Render_Game or Render_Menu into the virtual screen, the 4x blit onto the
// window, present), headless with SDL's software renderer, in four positions;
// side by side with bare SDL code drawing the quads the program drew in the
// same position. Also counts the heap allocations per frame.
//
//   frame/<position>/torvek           the program, every frame presented
//   frame/<position>/torvek_resting   the program as it runs: a frame that
//                                     shows nothing new is not presented
//   frame/<position>/bare_sdl         the same draw calls straight to SDL
//   frame/<position>/bare_sdl_plain   the same, with the target stretched
//                                     onto the window without a staging copy
#include <benchmark/benchmark.h>

#include <map>

#include "alloc_counter.h"
#include "bare_sdl.h"
#include "positions.h"

namespace {

using bench::Position;

// Frames timed per run of the program: enough for a stable mean, few enough
// that a run of every position takes seconds.
constexpr int PROGRAM_FRAMES = 2000;
// Frames run in the position before timing and counting start: the first
// frames of a way of drawing grow the engine's buffers to their size.
constexpr int WARMUP_FRAMES = 30;

const bench::RecordedFrame &Recorded(Position position)
{
    static std::map<Position, bench::RecordedFrame> frames;
    auto found = frames.find(position);
    if (found == frames.end())
        found = frames.emplace(position, bench::RecordFrame(position)).first;
    return found->second;
}

void ProgramFrame(benchmark::State &state, Position position, bool every_frame_presented)
{
    const int quads = static_cast<int>(Recorded(position).quads.size());
    const uint64_t before_start = bench::Allocations();
    uint64_t first = 0, last = 0;
    int frames = -1;
    int warmup = WARMUP_FRAMES;
    const bool reached = bench::RunInPosition(position, [&] {
        hgeTesting::RedrawEveryFrame(every_frame_presented);
        if (warmup-- > 0)
            return false;
        last = bench::Allocations();
        if (frames < 0)
            first = last;
        ++frames;
        return !state.KeepRunning();
    });
    if (!reached || quads == 0) {
        state.SkipWithError("the program did not reach the position");
        return;
    }
    // Loading the images allocates: a counter that saw nothing there is broken.
    if (bench::AllocationsCounted() && first == before_start) {
        state.SkipWithError("the allocation counter counts nothing");
        return;
    }
    state.counters["quads"] = quads;
    if (bench::AllocationsCounted() && frames > 0)
        state.counters["allocs/frame"] = static_cast<double>(last - first) / frames;
}

void BareSdl(benchmark::State &state, Position position, bench::WindowBlit blit)
{
    const bench::RecordedFrame &recorded = Recorded(position);
    bench::BareSdlFrame frame(recorded, blit);
    if (!frame.Ready()) {
        state.SkipWithError("bare SDL did not open or load the textures");
        return;
    }
    // A baseline that drew something else would measure something else.
    if (recorded.window.width == 0 || !(frame.DrawAndRead() == recorded.window)) {
        state.SkipWithError("bare SDL does not draw the picture the program presented");
        return;
    }
    for (auto _ : state)
        frame.Draw();
    state.counters["quads"] = frame.Calls();
}

void RegisterPosition(Position position)
{
    const std::string name = std::string("frame/") + bench::PositionName(position);
    benchmark::RegisterBenchmark((name + "/torvek").c_str(), ProgramFrame, position, true)
        ->Iterations(PROGRAM_FRAMES)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/torvek_resting").c_str(), ProgramFrame, position, false)
        ->Iterations(PROGRAM_FRAMES)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/bare_sdl").c_str(), BareSdl, position,
                                 bench::WindowBlit::Staging)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/bare_sdl_plain").c_str(), BareSdl, position,
                                 bench::WindowBlit::Plain)
        ->Unit(benchmark::kMicrosecond);
}

const bool registered = [] {
    for (Position position :
         {Position::Title, Position::Placing, Position::Fighting, Position::Capture})
        RegisterPosition(position);
    return true;
}();

}  // namespace
