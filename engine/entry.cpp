// The platform entry of the torvek executable: hands the command line to the
// game's WinMain the way a Windows program receives it, each argument whole.
// Tests link their own main instead, so this file belongs to the executable
// alone. On Windows the game's WinMain is itself the entry (entry_windows.cpp).
#include <string>

#include "hge_entry.h"

int main(int argc, char **argv)
{
    std::string command_line = QuotedCommandLine(argc - 1, argv + 1);
    return WinMain(nullptr, nullptr, command_line.data(), 1);
}
