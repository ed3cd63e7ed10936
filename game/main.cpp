#include "main.h"

#include <cstdio>
#include <sstream>
#include <string>

#include "animation.h"
#include "board.h"
#include "computer.h"
#include "menu.h"
#include "message.h"
#include "pieces.h"
#include "scene.h"
#include "turns.h"

void Reset_Game_State()
{
    Delete_Players();
    Reset_Board();
    Set_Selection(PLACING_CURSORS);
    Reset_Transition();
    Forget_Computer_Choice();
    Forget_Computer_Memories();
    Clear_Messages();
    Reset_Menu();
    Reset_Sun();
}

static const char USAGE[] =
    "Usage: torvek [options]\n"
    "\n"
    "TORVEK, a strategy game for two at one keyboard, or for one against the\n"
    "computer. Solids and Stripes place six pieces each on a board of three by\n"
    "three, then capture in a cycle: a piece that reaches combo 4, or a side\n"
    "that holds all twelve pieces, wins the round.\n"
    "\n"
    "Options:\n"
    "  --computer SIDE  the computer plays SIDE: solids, stripes or both\n"
    "  --level LEVEL    how the computer plays: easy, medium or hard (the default)\n"
    "  --fullscreen     start in fullscreen\n"
    "  --window         start in a window (the default)\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Keys:\n"
    "  Enter            on the title screen: on to the menu; pad: Start\n"
    "  N, I, K          on the menu: start a match, options, credits; pad: Y is N\n"
    "  Left, Right      choose a piece in the hand, or a cell; pad: D-pad, stick\n"
    "  Up, Down         a row back or forward on the board; pad: D-pad, stick\n"
    "  Space            take that piece; place it there, or capture there; pad: A\n"
    "  Backspace        back to choosing what moves; pad: B\n"
    "  Escape           back from options and credits; else quit; pad: Back\n"
    "  F11, Alt+Enter   fullscreen, or back to the window\n";

// What the command line asks for; without options, the game as it always was.
struct Options {
    int computer_sides = 0;  // a bit for each side the computer plays
    int level = LEVEL_HARD;
    bool windowed = true;
    bool help = false;
    bool version = false;
};

struct Named_Value {
    const char *name;
    int value;
};

static const Named_Value COMPUTER_SIDES[] = {
    {"solids", 1 << SOLIDS}, {"stripes", 1 << STRIPES}, {"both", 1 << SOLIDS | 1 << STRIPES},
};
static const Named_Value LEVELS[] = {
    {"easy", LEVEL_EASY}, {"medium", LEVEL_MEDIUM}, {"hard", LEVEL_HARD}};

template <size_t N>
static bool Find_Value(const Named_Value (&table)[N], const std::string &name, int *value)
{
    for (const Named_Value &row : table) {
        if (name == row.name) {
            *value = row.value;
            return true;
        }
    }
    return false;
}

// Reads the options; on a word it does not know, says why on standard error
// and returns false.
static bool Read_Options(const char *command_line, Options *options)
{
    std::istringstream words(command_line ? command_line : "");
    for (std::string word; words >> word;) {
        std::string value;
        const size_t equals = word.find('=');
        const bool has_value = equals != std::string::npos;
        if (has_value) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        const bool takes_value = word == "--computer" || word == "--level";
        // The next option is no value: "--computer --level easy" lacks one.
        if (takes_value && !has_value &&
            (!(words >> value) || value.rfind("--", 0) == 0)) {
            std::fprintf(stderr, "torvek: option %s needs a value\n", word.c_str());
            return false;
        }
        if (!takes_value && has_value) {
            std::fprintf(stderr, "torvek: option %s takes no value\n", word.c_str());
            return false;
        }
        int chosen = 0;
        if (word == "--computer" && Find_Value(COMPUTER_SIDES, value, &chosen)) {
            options->computer_sides |= chosen;
        } else if (word == "--level" && Find_Value(LEVELS, value, &chosen)) {
            options->level = chosen;
        } else if (word == "--fullscreen" || word == "--window") {
            options->windowed = word == "--window";
        } else if (word == "--help") {
            options->help = true;
        } else if (word == "--version") {
            options->version = true;
        } else if (takes_value) {
            std::fprintf(stderr, "torvek: %s %s: expected %s\n", word.c_str(), value.c_str(),
                         word == "--computer" ? "solids, stripes or both" : "easy or hard");
            return false;
        } else {
            std::fprintf(stderr, "torvek: unknown option %s\n", word.c_str());
            return false;
        }
    }
    return true;
}

// Exit statuses beside 0 (played) and 1 (the engine could not start).
constexpr int EXIT_USAGE = 2;

static void Configure_Engine(const Options &options)
{
    hge->System_SetState(HGE_FRAMEFUNC, Menu);
    hge->System_SetState(HGE_RENDERFUNC, Render_Menu);
    hge->System_SetState(HGE_SCREENWIDTH, WINDOW_LENGTH);
    hge->System_SetState(HGE_SCREENHEIGHT, WINDOW_HEIGHT);
    hge->System_SetState(HGE_FPS, HGEFPS_VSYNC);
    hge->System_SetState(HGE_SHOWSPLASH, false);
    hge->System_SetState(HGE_TEXTUREFILTER, false);
    hge->System_SetState(HGE_WINDOWED, options.windowed);
    hge->System_SetState(HGE_USESOUND, false);
    hge->System_SetState(HGE_ZBUFFER, true);
    hge->System_SetState(HGE_HIDEMOUSE, false);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int)
{
    Options options;
    if (!Read_Options(command_line, &options)) {
        std::fprintf(stderr, "Try 'torvek --help' for the options and keys.\n");
        return EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("torvek %s\n", TORVEK_VERSION);
        return 0;
    }
    Reset_Game_State();
    for (int side = SOLIDS; side < SIDES; ++side)
        computer_plays[side] = options.computer_sides >> side & 1;
    computer_level = options.level;
    hge = hgeCreate(HGE_VERSION);
    Configure_Engine(options);

    const bool started = hge->System_Initiate();
    if (started) {
        Load_Resources();
        hge->System_Start();
    }

    // Fonts, pieces and sprites each hold an engine reference and call the
    // engine when destroyed, so they go before the engine is shut down; the
    // pieces left in the hands go with their players, then those on the board.
    Free_Fonts();
    Delete_Players();
    Erase_Board(NO_CELL);
    Free_Resources();
    hge->System_Shutdown();
    hge->Release();
    hge = nullptr;

    // A failed start is reported to the shell; the engine's log says why.
    return started ? 0 : 1;
}
