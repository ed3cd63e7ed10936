// torvek_rising: the real program on a real display, with an announcement
// rising over the match for good: from the first match frame on, a new one
// starts whenever the last has stopped, so that every frame shows something
// new. Measured from outside like the program itself:
//
//   torvek_measure pacing --match torvek_rising [--redraw-every-frame] [GAME OPTIONS...]
//
// --redraw-every-frame draws every frame in full (the engine's
// RedrawEveryFrame), the cost before frames were drawn onto the window only
// where they changed. Everything else is the game as it runs; it reads its
// data from the build folder whatever folder it is started from.
#include <unistd.h>

#include <string>
#include <vector>

#include "hge_entry.h"
#include "hge_testing.h"
#include "main.h"
#include "match.h"
#include "message.h"

int main(int argc, char **argv)
{
    if (chdir(TORVEK_DATA_DIR) != 0)
        return 1;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--redraw-every-frame")
            hgeTesting::RedrawEveryFrame(true);
        else
            words.push_back(argument);
    }
    hgeTesting::SetFrameHook([](int) {
        const bool in_match = hge && hge->System_GetState(HGE_FRAMEFUNC) == Game;
        if (in_match && (message_bag.empty() || message_bag.front()->Get_Y() <= MESSAGE_STOP_Y)) {
            Clear_Messages();
            Announce("Fightin' time!");
        }
        return false;
    });
    return RunWinMain(words);
}
