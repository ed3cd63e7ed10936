// The web page's files, served over plain HTTP GET beside the relay. The
// sessions call these for every request that is not a WebSocket upgrade.
#pragma once

#include <string>
#include <string_view>

// The file under `folder` a request's target names ("/" is index.html; the
// query is dropped); false for a target that could leave the folder or
// names a hidden file.
bool Page_File(const std::string &folder, std::string_view target, std::string &path);
// The Content-Type of a file by its extension.
const char *Page_Type(std::string_view path);
