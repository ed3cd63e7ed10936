// Files: relative paths resolved wherever the program is started from, and
// whole files read into memory.
#include "hge_internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

static std::string BaseFolder()
{
    static const std::string folder = [] {
        char *base = SDL_GetBasePath();
        std::string path = base ? base : "";
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
    std::filesystem::path path(filename);
    std::error_code error;
    if (path.is_absolute() || std::filesystem::exists(path, error))
        return path;
    std::string base = BaseFolder();
    if (base.empty())
        return path;
    for (std::filesystem::path folder : {std::filesystem::path(base),
                                         std::filesystem::path(base) / INSTALLED_DATA_FOLDER,
                                         std::filesystem::path(base) / GAMES_DATA_FOLDER}) {
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
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *why = std::strerror(errno);
        return nullptr;
    }
    char *block = static_cast<char *>(std::malloc(length + 1));
    size_t got = block ? std::fread(block, 1, length, file) : 0;
    std::fclose(file);
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
