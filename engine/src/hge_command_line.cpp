// A program's arguments written as one Windows command line.
#include <string>

#include "hge_entry.h"

// An argument with no blank or quote is written as it is. Any other goes in
// quotes, where a quote is written \" and the backslashes just before a
// quote, or before the closing one, are doubled; other backslashes stay
// single.
static void AppendQuoted(std::string &line, const std::string &argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

std::string QuotedCommandLine(int count, const char *const *arguments)
{
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            line += ' ';
        AppendQuoted(line, arguments[i]);
    }
    return line;
}
