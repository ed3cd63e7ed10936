// Files: relative paths resolved wherever the program is started from, and
// whole files read into memory. Every path the engine is given or finds is
// UTF-8, on every platform (a player's folder may have any letters in it).
#include "hge_internal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

static std::filesystem::path Utf8Path(const char *utf8)
{
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t *>(utf8)));
}

// The executable's folder (SDL names it in UTF-8), or an empty path.
static std::filesystem::path BaseFolder()
{
    static const std::filesystem::path folder = [] {
        char *base = SDL_GetBasePath();
        std::filesystem::path path = Utf8Path(base ? base : "");
        SDL_free(base);
        return path;
    }();
    return folder;
}

// Where an installed executable's data lies, from the executable's folder:
// bin/torvek reads share/torvek/Images/..., and a game laid out as Debian
// lays out games, /usr/games/torvek, reads /usr/share/games/torvek/Images/...
static const char INSTALLED_DATA_FOLDER[] = "../share/torvek";
static const char GAMES_DATA_FOLDER[] = "../share/games/torvek";

// A relative path is looked for in the working folder first, then beside the
// executable (a build folder), then in the installed data folders, so the
// program finds its data wherever it is started from.
static std::filesystem::path ResolvePath(const char *filename)
{
    std::filesystem::path path = Utf8Path(filename);
    std::error_code error;
    if (path.is_absolute() || std::filesystem::exists(path, error))
        return path;
    const std::filesystem::path base = BaseFolder();
    if (base.empty())
        return path;
    for (const std::filesystem::path &folder : {base, base / INSTALLED_DATA_FOLDER, base / GAMES_DATA_FOLDER}) {
        std::filesystem::path candidate = (folder / path).lexically_normal();
        if (std::filesystem::exists(candidate, error))
            return candidate;
    }
    return path;
}

// Reads a whole file into a block that ends with an extra zero byte (not
// counted in `size`), so text can be parsed in place. Null and the reason on
// failure.
static char *ReadWholeFile(const char *filename, DWORD *size, std::string *why)
{
    if (!filename || !*filename) {
        *why = "no file name";
        return nullptr;
    }
    std::filesystem::path path = ResolvePath(filename);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        *why = "no such file";
        return nullptr;
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        *why = "not a regular file";
        return nullptr;
    }
    uintmax_t length = std::filesystem::file_size(path, error);
    if (error || length >= UINT32_MAX) {
        *why = error ? error.message() : "too large";
        return nullptr;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *why = errno ? std::strerror(errno) : "can't open it";
        return nullptr;
    }
    char *block = static_cast<char *>(std::malloc(length + 1));
    size_t got = 0;
    if (block && file.read(block, static_cast<std::streamsize>(length)))
        got = length;
    if (!block || got != length) {
        std::free(block);
        *why = block ? "read error" : "out of memory";
        return nullptr;
    }
    block[length] = '\0';
    if (size)
        *size = static_cast<DWORD>(length);
    return block;
}

void *HGE::Resource_Load(const char *filename, DWORD *size)
{
    std::string why;
    char *block = ReadWholeFile(filename, size, &why);
    if (!block) {
        System_Log("Can't load resource %s: %s", filename ? filename : "(null)", why.c_str());
        if (size)
            *size = 0;
    }
    return block;
}

void HGE::Resource_Free(void *res)
{
    std::free(res);
}

char *ReadEngineFile(const char *filename, DWORD *size, std::string *why)
{
    return ReadWholeFile(filename, size, why);
}
