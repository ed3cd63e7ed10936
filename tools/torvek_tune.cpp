// torvek_tune: fits the weights of the computer's evaluation to the outcomes
// of rounds. It plays rounds between two hard computers, one move in eight at
// random so that the rounds differ, and from one in four of the positions
// where a side is about to place it plays the round out, hard against hard,
// and notes whether the side to move won. Then it changes one weight at a
// time for as long as that predicts the outcomes better (the log-loss of a
// logistic curve through the evaluation), and prints the weights in the form
// of eval_weights in game/computer_eval.cpp.
//
//   torvek_tune --rounds 600 --seed 31 --save positions.txt
//   torvek_tune --load positions.txt --load more.txt
//
// A position a line: the nine cell codes, each side's fifteen hand counts,
// the side to move and 1 if it went on to win, else 0.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "computer.h"
#include "computer_eval.h"

namespace {

struct Sample {
    Round_State state;
    bool won;  // by the side to move
};

// A seeded generator of the tool's own, min to max with both included.
class Tune_Random {
public:
    explicit Tune_Random(uint64_t seed) : state(seed * 0x9e3779b97f4a7c15ull + 7) {}

    int operator()(int min, int max)
    {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        z ^= z >> 31;
        return min + static_cast<int>(z % static_cast<uint64_t>(max - min + 1));
    }

private:
    uint64_t state;
};

// A round long enough to be going nowhere is left out.
constexpr int MAX_MOVES = 300;
// Positions from the first placings are nearly all alike.
constexpr int FIRST_SAMPLED_MOVE = 4;

// The winner of the round played out from the position, hard against hard;
// -1 when it does not end.
int Play_Out(Round_State state, const Computer_Random &random)
{
    Computer_Memory memories[SIDES];
    for (int moves = 0; moves < MAX_MOVES && state.winner == NO_WINNER; ++moves)
        Round_Play(state, Computer_Think(state, LEVEL_HARD, random, memories[state.turn]));
    return state.winner;
}

void Sample_Round(int first, Tune_Random &generator, std::vector<Sample> &samples)
{
    const Computer_Random random = [&generator](int min, int max) { return generator(min, max); };
    Round_State state = Round_Deal(first);
    Round_Settle(state);
    Computer_Memory memories[SIDES];
    for (int moves = 0; moves < MAX_MOVES && state.winner == NO_WINNER; ++moves) {
        Round_Move choices[ROUND_MAX_MOVES];
        const int count = Round_Moves(state, choices);
        if (count > 1 && state.phase == PHASE_PLACING && moves >= FIRST_SAMPLED_MOVE && random(0, 3) == 0) {
            const int winner = Play_Out(state, random);
            if (winner >= 0)
                samples.push_back({state, winner == state.turn});
        }
        Computer_Memory &memory = memories[state.turn];
        const Round_Move move = random(0, 7) == 0
                                    ? choices[random(0, count - 1)]
                                    : Computer_Think(state, LEVEL_HARD, random, memory);
        Round_Play(state, move);
    }
}

void Save(const std::vector<Sample> &samples, const char *path)
{
    FILE *file = std::fopen(path, "w");
    if (!file) {
        std::perror(path);
        std::exit(1);
    }
    for (const Sample &sample : samples) {
        for (uint8_t code : sample.state.cell)
            std::fprintf(file, "%d ", code);
        for (const auto &hand : sample.state.hand)
            for (uint8_t count : hand)
                std::fprintf(file, "%d ", count);
        std::fprintf(file, "%d %d\n", sample.state.turn, sample.won ? 1 : 0);
    }
    std::fclose(file);
}

bool Read_Sample(FILE *file, Sample &sample)
{
    Round_State state{};
    int value = 0;
    for (uint8_t &code : state.cell) {
        if (std::fscanf(file, "%d", &value) != 1 || value < 0 || value >= CELL_CODES)
            return false;
        code = static_cast<uint8_t>(value);
    }
    for (auto &hand : state.hand)
        for (uint8_t &count : hand) {
            if (std::fscanf(file, "%d", &value) != 1 || value < 0 || value > MATCH_PIECES)
                return false;
            count = static_cast<uint8_t>(value);
        }
    int turn = 0, won = 0;
    if (std::fscanf(file, "%d %d", &turn, &won) != 2 || (turn != SOLIDS && turn != STRIPES))
        return false;
    state.turn = static_cast<int8_t>(turn);
    state.winner = -1;
    sample = {state, won != 0};
    return true;
}

void Load(const char *path, std::vector<Sample> &samples)
{
    FILE *file = std::fopen(path, "r");
    if (!file) {
        std::perror(path);
        std::exit(1);
    }
    for (Sample sample; Read_Sample(file, sample);)
        samples.push_back(sample);
    std::fclose(file);
}

// How badly the evaluation predicts the outcomes: the mean log-loss of the
// best logistic curve through it.
double Loss(const Eval_Weights &weights, const std::vector<Sample> &samples)
{
    const Evaluator evaluate(weights);
    std::vector<double> scores;
    for (const Sample &sample : samples)
        scores.push_back(evaluate(sample.state));
    double best = INFINITY;
    for (double slope = 0.0005; slope < 0.05; slope *= 1.08) {
        double loss = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            const double z = slope * scores[i];
            loss += samples[i].won ? std::log1p(std::exp(-z)) : std::log1p(std::exp(z));
        }
        best = std::min(best, loss / static_cast<double>(samples.size()));
    }
    return best;
}

// One weight at a time, by steps from coarse to fine, while the loss falls.
// The weight of a piece stays: it is the unit of the others.
Eval_Weights Fit(Eval_Weights weights, const std::vector<Sample> &samples)
{
    int *values = reinterpret_cast<int *>(&weights);
    constexpr int COUNT = sizeof(Eval_Weights) / sizeof(int);
    double loss = Loss(weights, samples);
    for (int pass = 0; pass < 6; ++pass)
        for (int i = 1; i < COUNT; ++i)
            for (int step : {40, 10, 3})
                for (bool better = true; better;) {
                    better = false;
                    for (int direction : {1, -1}) {
                        values[i] += direction * step;
                        const double tried = Loss(weights, samples);
                        if (tried < loss - 1e-6) {
                            loss = tried;
                            better = true;
                            break;
                        }
                        values[i] -= direction * step;
                    }
                }
    return weights;
}

void Print_Triple(const char *name, const int (&values)[3])
{
    std::printf("    .%s = {%d, %d, %d},\n", name, values[0], values[1], values[2]);
}

void Print(const Eval_Weights &w)
{
    std::printf("    .piece = %d,\n", w.piece);
    Print_Triple("board_combo", w.board_combo);
    Print_Triple("hand_combo", w.hand_combo);
    std::printf("    .in_hand = %d,\n    .threat = %d,\n", w.in_hand, w.threat);
    Print_Triple("threat_prey_combo", w.threat_prey_combo);
    std::printf("    .winning_threat = %d,\n    .first_strike = %d,\n    .exposed = %d,\n",
                w.winning_threat, w.first_strike, w.exposed);
    Print_Triple("exposed_combo", w.exposed_combo);
    std::printf("    .fights_first = %d,\n", w.fights_first);
    Print_Triple("last_pieces", w.last_pieces);
}

int Usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s [--rounds N] [--seed S] [--save FILE] [--load FILE]...\n"
                 "  --rounds rounds to take positions from (0 unless nothing is loaded: 600)\n"
                 "  --seed   seed of every random choice (1)\n"
                 "  --save   write the positions and outcomes to FILE\n"
                 "  --load   read positions and outcomes from FILE as well\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    long rounds = -1, seed = 1;
    const char *save = nullptr;
    std::vector<Sample> samples;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage(argv[0]);
        const char *value = argv[++i];
        if (option == "--rounds")
            rounds = std::atol(value);
        else if (option == "--seed")
            seed = std::atol(value);
        else if (option == "--save")
            save = value;
        else if (option == "--load")
            Load(value, samples);
        else
            return Usage(argv[0]);
    }
    if (rounds < 0)
        rounds = samples.empty() ? 600 : 0;
    Tune_Random generator(static_cast<uint64_t>(seed));
    for (long round = 0; round < rounds; ++round)
        Sample_Round(static_cast<int>(round % 2), generator, samples);
    if (save)
        Save(samples, save);
    if (samples.empty())
        return Usage(argv[0]);
    std::printf("%zu positions; log-loss %.4f with the game's weights\n", samples.size(),
                Loss(eval_weights, samples));
    const Eval_Weights fitted = Fit(eval_weights, samples);
    std::printf("log-loss %.4f with these:\n", Loss(fitted, samples));
    Print(fitted);
    return 0;
}
