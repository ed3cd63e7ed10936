// How long the hard computer thinks over one move, in three kinds of
// position, and the medium one over the costliest of them, with the
// positions searched, per second and the depth reached beside it.
#include <benchmark/benchmark.h>

#include "computer.h"

namespace {

// Placed in the order of the list, so hands hold what the board does not.
Round_State Position(int first, std::initializer_list<std::pair<int, Round_Move>> placings)
{
    Round_State state = Round_Deal(first);
    for (const auto &[side, move] : placings) {
        state.turn = static_cast<int8_t>(side);
        Round_Play(state, move);
    }
    return state;
}

Round_Move Place(int type, int cell)
{
    return {static_cast<int8_t>(Hand_Kind(type, 0)), static_cast<int8_t>(cell)};
}

void Think(benchmark::State &bench, const Round_State &position, int level = LEVEL_HARD)
{
    long nodes = 0;
    int depth = 0;
    for (auto _ : bench) {
        Computer_Memory memory;
        Computer_Stats stats;
        // Only ties are drawn at random: the first of them does as well.
        const Round_Move move = Computer_Think(
            position, level, [](int min, int) { return min; }, memory, {}, &stats);
        benchmark::DoNotOptimize(move);
        nodes += stats.nodes;
        depth = stats.depth;
    }
    const double searched = static_cast<double>(nodes);
    bench.counters["nodes/s"] = benchmark::Counter(searched, benchmark::Counter::kIsRate);
    bench.counters["nodes"] = benchmark::Counter(searched, benchmark::Counter::kAvgIterations);
    bench.counters["depth"] = depth;
}

// The first placing of a round: every kind into every cell.
void Opening(benchmark::State &bench)
{
    Think(bench, Round_Deal(SOLIDS));
}

// Four pieces down, Solids to place the fifth.
void Mid_Placing(benchmark::State &bench)
{
    Think(bench, Position(SOLIDS, {{SOLIDS, Place(0, 4)},
                                   {STRIPES, Place(2, 1)},
                                   {SOLIDS, Place(1, 3)},
                                   {STRIPES, Place(1, 5)}}));
}

// The board just filled; Stripes, who did not place last, captures first
// and both sides have captures.
Round_State Full_Board()
{
    //  S0 T1 S2
    //  T2 S1 T0
    //  S2 T0 S0
    return Position(SOLIDS, {{SOLIDS, Place(0, 0)},
                             {STRIPES, Place(1, 1)},
                             {SOLIDS, Place(2, 2)},
                             {STRIPES, Place(2, 3)},
                             {SOLIDS, Place(1, 4)},
                             {STRIPES, Place(0, 5)},
                             {SOLIDS, Place(2, 6)},
                             {STRIPES, Place(0, 7)},
                             {SOLIDS, Place(0, 8)}});
}

void Full_Board_Fight(benchmark::State &bench)
{
    Think(bench, Full_Board());
}

void Medium_Full_Board_Fight(benchmark::State &bench)
{
    Think(bench, Full_Board(), LEVEL_MEDIUM);
}

}  // namespace

BENCHMARK(Opening)->Name("computer/hard_opening")->Unit(benchmark::kMillisecond);
BENCHMARK(Mid_Placing)->Name("computer/hard_mid_placing")->Unit(benchmark::kMillisecond);
BENCHMARK(Full_Board_Fight)->Name("computer/hard_full_board_fight")->Unit(benchmark::kMillisecond);
BENCHMARK(Medium_Full_Board_Fight)
    ->Name("computer/medium_full_board_fight")
    ->Unit(benchmark::kMillisecond);
