// CPU time of one whole frame of the real program (events, Game or Menu,
// Render_Game or Render_Menu into the virtual screen, the virtual screen
// magnified onto the window, present), headless with SDL's software
// renderer, in five positions, the last also in windows of a 1920x1080 and
// a 3840x2160 screen; side by side with bare SDL code drawing the quads the
// program drew in the same position. Also counts the heap allocations per
// frame.
//
//   frame/<position>/torvek           the program, every frame presented
//   frame/<position>/torvek_resting   the program as it runs: a frame that
//                                     shows nothing new is not presented, and
//                                     one that does is drawn onto the window
//                                     only where it changed
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
using bench::WindowSize;

// Frames timed per run of the program: enough for a stable mean, few enough
// that a run of every position takes seconds.
constexpr int PROGRAM_FRAMES = 2000;
// Frames run in the position before timing and counting start: the first
// frames of a way of drawing grow the engine's buffers to their size.
constexpr int WARMUP_FRAMES = 30;

const bench::RecordedFrame &Recorded(Position position, WindowSize window)
{
    static std::map<std::string, bench::RecordedFrame> frames;
    const std::string name = bench::PositionName(position, window);
    auto found = frames.find(name);
    if (found == frames.end())
        found = frames.emplace(name, bench::RecordFrame(position, window)).first;
    return found->second;
}

void ProgramFrame(benchmark::State &state, Position position, WindowSize window,
                  bool every_frame_presented)
{
    const int quads = static_cast<int>(Recorded(position, window).quads.size());
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
    }, window);
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

void BareSdl(benchmark::State &state, Position position, WindowSize window, bench::WindowBlit blit)
{
    const bench::RecordedFrame &recorded = Recorded(position, window);
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

void RegisterPosition(Position position, WindowSize window = {})
{
    const std::string name = "frame/" + bench::PositionName(position, window);
    benchmark::RegisterBenchmark((name + "/torvek").c_str(), ProgramFrame, position, window, true)
        ->Iterations(PROGRAM_FRAMES)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/torvek_resting").c_str(), ProgramFrame, position, window,
                                 false)
        ->Iterations(PROGRAM_FRAMES)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/bare_sdl").c_str(), BareSdl, position, window,
                                 bench::WindowBlit::Staging)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/bare_sdl_plain").c_str(), BareSdl, position, window,
                                 bench::WindowBlit::Plain)
        ->Unit(benchmark::kMicrosecond);
}

const bool registered = [] {
    for (Position position : {Position::Title, Position::Placing, Position::Fighting,
                              Position::Capture, Position::Message})
        RegisterPosition(position);
    // The fullscreen sizes of a 1080p and a 4K screen: 5x and 11x.
    RegisterPosition(Position::Message, {1920, 1080});
    RegisterPosition(Position::Message, {3840, 2160});
    return true;
}();

}  // namespace
