// The platform entry of the torvek executable: hands the command line to the
// game's WinMain the way a Windows program receives it. Tests link their own
// main instead, so this file belongs to the executable alone.
#include <string>

#include "hge_entry.h"

int main(int argc, char **argv)
{
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            command_line += ' ';
        command_line += argv[i];
    }
    return WinMain(nullptr, nullptr, command_line.data(), 1);
}
