#include "page.h"

static const struct {
    const char *extension, *type;
} PAGE_TYPES[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".wasm", "application/wasm"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
    {".json", "application/json"},
    {".webmanifest", "application/manifest+json"},
    {".txt", "text/plain; charset=utf-8"},
};

static bool Ends_With(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

const char *Page_Type(std::string_view path)
{
    for (const auto &entry : PAGE_TYPES)
        if (Ends_With(path, entry.extension))
            return entry.type;
    return "application/octet-stream";
}

// Every segment must be a plain name: no "..", no hidden file, no escapes.
static bool Plain_Target(std::string_view target)
{
    if (target.empty() || target[0] != '/')
        return false;
    if (target.find_first_of("%\\") != std::string_view::npos || target.find('\0') != std::string_view::npos)
        return false;
    return target.find("/.") == std::string_view::npos && target.find("//") == std::string_view::npos;
}

bool Page_File(const std::string &folder, std::string_view target, std::string &path)
{
    target = target.substr(0, target.find('?'));
    if (!Plain_Target(target))
        return false;
    path = folder;
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    path.append(target);
    if (target.back() == '/')
        path.append("index.html");
    return true;
}
