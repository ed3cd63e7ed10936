// The platform entry of the torvek executable: hands the game's WinMain its
// arguments as the words of its command line, each whole. In the browser
// they are the page's, which emscripten hands to main. Tests link their own
// main instead, so this file belongs to the executable alone. On Windows the
// game's WinMain is itself the entry (entry_windows.cpp).
#include "hge_entry.h"

int main(int argc, char **argv)
{
    // WinMain is called from main itself: in the browser only the functions
    // from main down to the wait between frames unwind (engine/CMakeLists.txt).
    if (argc > 1)
        SetCommandLineWords({argv + 1, argv + argc});
    char no_command_line[] = "";
    return WinMain(nullptr, nullptr, no_command_line, WINMAIN_SHOW_NORMAL);
}
