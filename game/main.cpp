#include "main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "animation.h"
#include "board.h"
#include "computer.h"
#include "menu.h"
#include "message.h"
#include "online.h"
#include "pieces.h"
#include "recording.h"
#include "scene.h"
#include "turns.h"

void Reset_Game_State()
{
    Delete_Players();
    Reset_Board();
    Set_Selection(PLACING_CURSORS);
    Forget_Pointer();
    Reset_Transition();
    Forget_Computer_Choice();
    Forget_Computer_Memories();
    Reset_Recording();
    Reset_Online();
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
    "  --record FILE    write the match to FILE as it is played, move by move\n"
    "  --replay FILE    play the match recorded in FILE back, then play on from there\n"
    "  --host [URL]     N makes a room for a friend to join: on a relay inside the\n"
    "                   game, or on the relay at URL (ws:// or wss://); you play Solids\n"
    "  --join LINK      N joins the room of an invite link (or CODE@URL); you play Stripes\n"
    "  --watch LINK     N watches the match of that room\n"
    "  --ca FILE        also trust the certificate authorities in FILE for wss://\n"
    "  --room-wait S    how long the game's own relay waits for a lost player (600 s)\n"
    "  --fullscreen     start in fullscreen\n"
    "  --window         start in a window (the default)\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "When an option is given more than once, the last one counts.\n"
    "\n"
    "Keys:\n"
    "  Enter            on the title screen: on to the menu; pad: Start\n"
    "  N, I, K          on the menu: start a match, options, credits; pad: Y is N\n"
    "  Left, Right      choose a piece in the hand, or a cell; pad: D-pad, stick\n"
    "  Up, Down         a row back or forward on the board; pad: D-pad, stick\n"
    "  Space            take that piece; place it there, or capture there; pad: A\n"
    "  Backspace        back to choosing what moves; pad: B\n"
    "  Escape           back from options and credits; else quit; pad: Back\n"
    "  F11, Alt+Enter   fullscreen, or back to the window\n"
    "\n"
    "Mouse or finger:\n"
    "  click or tap     on the title: on to the menu; on a line of the menu:\n"
    "                   that line's key; on options and credits: back\n"
    "                   in a match: on a piece you may move, take it; on a\n"
    "                   cell, place it there, or capture there\n"
    "  right click      back to choosing what moves; so is a click on the\n"
    "                   piece taken, or off the board and hand\n"
    "  the mouse        moved over the hand or the board, the markers follow\n";

// What the command line asks for; without options, the game as it always was.
struct Options {
    int computer_sides = 0;  // a bit for each side the computer plays
    int level = LEVEL_HARD;
    bool level_given = false;
    bool windowed = true;
    std::string record;  // the files of --record and --replay, empty when not given
    std::string replay;
    Online_Options online;
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

// "easy or hard", "solids, stripes or both".
template <size_t N>
static std::string Names_Of(const Named_Value (&table)[N])
{
    std::string names;
    for (size_t i = 0; i < N; ++i) {
        if (i > 0)
            names += i + 1 < N ? ", " : " or ";
        names += table[i].name;
    }
    return names;
}

// A word echoed back in an error is cut short, so that a pasted page does not
// fill the terminal; the cut never splits a UTF-8 character.
constexpr size_t ECHO_LIMIT = 40;

static std::string Echoed(const std::string &word)
{
    if (word.size() <= ECHO_LIMIT)
        return word;
    size_t cut = ECHO_LIMIT;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
        --cut;
    return word.substr(0, cut) + "...";
}

static bool Is_Option(const std::string &word)
{
    for (const char *option : {"--computer", "--level", "--record", "--replay", "--host", "--join",
                               "--watch", "--ca", "--room-wait", "--fullscreen", "--window",
                               "--help", "-h", "--version"})
        if (word == option)
            return true;
    return false;
}

// Reads the options, the last of a repeated one counting; on a word it does
// not know, says why on standard error and returns false.
static bool Read_Options(const std::vector<std::string> &words, Options *options)
{
    for (size_t next = 0; next < words.size();) {
        std::string word = words[next++];
        std::string value;
        const size_t equals = word.find('=');
        bool has_value = equals != std::string::npos;
        if (has_value) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        if (!Is_Option(word)) {
            std::fprintf(stderr, "torvek: unknown option %s\n", Echoed(word).c_str());
            return false;
        }
        // --host takes an address when one follows.
        if (word == "--host" && !has_value && next < words.size() &&
            words[next].rfind("--", 0) != 0) {
            value = words[next++];
            has_value = true;
        }
        const bool takes_file = word == "--record" || word == "--replay" || word == "--ca";
        const bool takes_link = word == "--join" || word == "--watch";
        const bool takes_value = word == "--computer" || word == "--level" || word == "--room-wait" ||
                                 takes_file || takes_link;
        // The next option is no value: "--computer --level easy" lacks one.
        if (takes_value && !has_value) {
            if (next == words.size() || words[next].rfind("--", 0) == 0) {
                std::fprintf(stderr, "torvek: option %s needs a value\n", word.c_str());
                return false;
            }
            value = words[next++];
        }
        if (!takes_value && has_value && word != "--host") {
            std::fprintf(stderr, "torvek: option %s takes no value\n", word.c_str());
            return false;
        }
        int chosen = 0;
        if (takes_file && value.empty()) {
            std::fprintf(stderr, "torvek: option %s needs a file\n", word.c_str());
            return false;
        } else if (word == "--record") {
            options->record = value;
        } else if (word == "--replay") {
            options->replay = value;
        } else if (word == "--ca") {
            options->online.ca_file = value;
        } else if (word == "--host") {
            if (has_value && value.rfind("ws://", 0) != 0 && value.rfind("wss://", 0) != 0) {
                std::fprintf(stderr, "torvek: --host %s: expected a ws:// or wss:// address\n",
                             Echoed(value).c_str());
                return false;
            }
            options->online.role = ONLINE_HOST;
            options->online.relay = has_value ? value : "";
            options->online.room.clear();
        } else if (takes_link) {
            std::string why;
            if (!Read_Invite(value, &options->online.relay, &options->online.room, &why)) {
                std::fprintf(stderr, "torvek: %s %s: %s\n", word.c_str(), Echoed(value).c_str(),
                             why.c_str());
                return false;
            }
            options->online.role = word == "--join" ? ONLINE_GUEST : ONLINE_WATCHER;
        } else if (word == "--room-wait") {
            const int seconds = std::atoi(value.c_str());
            if (seconds <= 0 || value.find_first_not_of("0123456789") != std::string::npos) {
                std::fprintf(stderr, "torvek: --room-wait %s: expected a number of seconds\n",
                             Echoed(value).c_str());
                return false;
            }
            options->online.room_wait = seconds;
        } else if (word == "--computer" && Find_Value(COMPUTER_SIDES, value, &chosen)) {
            options->computer_sides = chosen;
        } else if (word == "--level" && Find_Value(LEVELS, value, &chosen)) {
            options->level = chosen;
            options->level_given = true;
        } else if (takes_value) {
            std::fprintf(stderr, "torvek: %s %s: expected %s\n", word.c_str(),
                         Echoed(value).c_str(),
                         (word == "--computer" ? Names_Of(COMPUTER_SIDES) : Names_Of(LEVELS)).c_str());
            return false;
        } else if (word == "--fullscreen" || word == "--window") {
            options->windowed = word == "--window";
        } else if (word == "--help" || word == "-h") {
            options->help = true;
        } else {
            options->version = true;
        }
    }
    const bool starts = !options->help && !options->version;
    if (starts && options->online.role != ONLINE_NONE &&
        (options->computer_sides != 0 || !options->replay.empty())) {
        std::fprintf(stderr, "torvek: an online match is played by hand: it takes neither "
                             "--computer nor --replay\n");
        return false;
    }
    if (starts && options->level_given && options->computer_sides == 0)
        std::fprintf(stderr, "torvek: --level changes nothing without --computer\n");
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

// The replay is read whole, and the record opened, before anything starts:
// a file that will not do says so in one line and nothing starts.
static bool Open_Files(const Options &options)
{
    std::string why;
    if ((!options.replay.empty() && !Load_Replay(options.replay, &why)) ||
        (!options.record.empty() && !Open_Recording(options.record, &why))) {
        std::fprintf(stderr, "torvek: %s\n", why.c_str());
        Reset_Recording();
        return false;
    }
    return true;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Options options;
    if (!Read_Options(CommandLineWords(), &options)) {
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
    if (!Open_Files(options))
        return EXIT_USAGE;
    for (int side = SOLIDS; side < SIDES; ++side)
        computer_plays[side] = options.computer_sides >> side & 1;
    computer_level = options.level;
    Set_Online(options.online);
    hge = hgeCreate(HGE_VERSION);
    Configure_Engine(options);

    const bool started = hge->System_Initiate();
    if (started) {
        Load_Resources();
        hge->System_Start();
        Online_Quit();
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
    Reset_Recording();

    // A failed start is reported to the shell; the engine's log says why.
    return started ? 0 : 1;
}
