// The words of the program's command line, kept for the game's WinMain.
#include "hge_entry.h"

#include <optional>

#include "hge_platform.h"

// Until words are given, the native platform's own are read, once.
static std::optional<std::vector<std::string>> given_words;

void SetCommandLineWords(std::vector<std::string> words)
{
    given_words = std::move(words);
}

const std::vector<std::string> &CommandLineWords()
{
    if (!given_words) {
        const Platform &native = NativePlatform();
        given_words = native.CommandLineWords ? native.CommandLineWords() : std::vector<std::string>();
    }
    return *given_words;
}
