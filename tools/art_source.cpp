// Reading the sources (lines, words, numbers, the palette, glyph maps) and
// writing PNG files.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "art.h"
#include "hge_png.h"

void Source::Fail(int line, const std::string &message) const
{
    throw ArtError(path + ":" + std::to_string(line) + ": " + message);
}

static bool Is_Comment_Or_Blank(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    return first == std::string::npos || text.compare(first, 2, "//") == 0;
}

Source Read_Source(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        throw ArtError(path + ": cannot be read");
    Source source{path, {}};
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (!Is_Comment_Or_Blank(text))
            source.lines.push_back({number, text});
    }
    return source;
}

std::vector<std::string> Split_Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        } else if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            const size_t end = close == std::string::npos ? line.size() : close;
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])))
                ++end;
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

// A number that takes the whole word, read by `read` (std::stoi or std::stof).
template <typename Number, typename Read>
static Number Parse_Number(const Source &source, int line, const std::string &word, Read read,
                           const std::string &what)
{
    size_t used = 0;
    Number value = 0;
    try {
        value = read(word, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != word.size())
        source.Fail(line, "'" + word + "' is not " + what);
    return value;
}

int Parse_Int(const Source &source, int line, const std::string &word)
{
    return Parse_Number<int>(
        source, line, word, [](const std::string &w, size_t *used) { return std::stoi(w, used); },
        "a whole number");
}

float Parse_Float(const Source &source, int line, const std::string &word)
{
    return Parse_Number<float>(
        source, line, word, [](const std::string &w, size_t *used) { return std::stof(w, used); },
        "a number");
}

// "#RRGGBB" is opaque; "#RRGGBBAA" carries its own alpha.
static uint32_t Parse_Colour(const Source &source, int line, const std::string &word)
{
    const bool well_formed = (word.size() == 7 || word.size() == 9) && word[0] == '#' &&
                             word.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
    if (!well_formed)
        source.Fail(line, "'" + word + "' is not a colour #RRGGBB or #RRGGBBAA");
    const uint32_t value = static_cast<uint32_t>(std::stoul(word.substr(1), nullptr, 16));
    if (word.size() == 7)
        return 0xFF000000u | value;
    return (value >> 8) | (value << 24);
}

// Lines "name key #RRGGBB[AA]"; the key "-" means the colour has none.
Palette Read_Palette(const std::string &path)
{
    const Source source = Read_Source(path);
    Palette palette;
    for (const SourceLine &line : source.lines) {
        const std::vector<std::string> words = Split_Words(line.text);
        if (words.size() != 3 || words[1].size() != 1)
            source.Fail(line.number, "expected: name key #RRGGBB[AA]");
        if (palette.Has(words[0]))
            source.Fail(line.number, "colour '" + words[0] + "' is named twice");
        const uint32_t colour = Parse_Colour(source, line.number, words[2]);
        palette.by_name[words[0]] = colour;
        const char key = words[1][0];
        if (key == '-')
            continue;
        if (key == '.' || palette.by_key.count(key))
            source.Fail(line.number, std::string("key '") + key + "' is taken");
        palette.by_key[key] = colour;
    }
    return palette;
}

// "char A" names a character by itself, "char space" the space and
// "char 0x23" any code in hexadecimal.
static int Parse_Char_Name(const Source &source, int line, const std::string &word)
{
    if (word == "space")
        return ' ';
    if (word.size() == 1)
        return static_cast<unsigned char>(word[0]);
    if (word.size() > 2 && word.compare(0, 2, "0x") == 0)
        return static_cast<int>(std::stoul(word.substr(2), nullptr, 16));
    source.Fail(line, "'" + word + "' is not a character");
}

static Glyph Read_Glyph_Rows(const Source &source, size_t &index, const GlyphSet &set, int code)
{
    Glyph glyph;
    const int header_line = source.lines[index].number;
    for (int row = 0; row < set.height; ++row) {
        if (++index >= source.lines.size())
            source.Fail(header_line, "glyph ends before its last row");
        const SourceLine &line = source.lines[index];
        if (line.text.find_first_not_of(".#") != std::string::npos)
            source.Fail(line.number, "glyph rows hold only '.' and '#'");
        if (row == 0)
            glyph.width = static_cast<int>(line.text.size());
        else if (static_cast<int>(line.text.size()) != glyph.width)
            source.Fail(line.number, "every row of a glyph has the same width");
        glyph.rows.push_back(line.text);
    }
    if (set.monospace && glyph.width != set.monospace)
        source.Fail(header_line, "glyph " + std::to_string(code) + " is not " +
                                     std::to_string(set.monospace) + " wide");
    return glyph;
}

// Every stroke one pixel wider to the right, then the empty columns on both
// sides dropped, so that the bold letters are as wide as they need.
static Glyph Embolden(const Glyph &thin)
{
    Glyph bold;
    const int width = thin.width + 1;
    int first = width, last = -1;
    for (size_t y = 0; y < thin.rows.size(); ++y) {
        std::string row(static_cast<size_t>(width), '.');
        for (int x = 0; x < width; ++x) {
            const bool ink = (x < thin.width && thin.Ink(x, static_cast<int>(y))) ||
                             (x > 0 && thin.Ink(x - 1, static_cast<int>(y)));
            if (ink) {
                row[static_cast<size_t>(x)] = '#';
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
        bold.rows.push_back(row);
    }
    if (last < 0)
        return thin;
    for (std::string &row : bold.rows)
        row = row.substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
    bold.width = last - first + 1;
    return bold;
}

GlyphSet Read_Glyphs(const std::string &path)
{
    const Source source = Read_Source(path);
    GlyphSet set;
    std::map<int, Glyph> derived;
    for (size_t i = 0; i < source.lines.size(); ++i) {
        const SourceLine &line = source.lines[i];
        const std::vector<std::string> words = Split_Words(line.text);
        const std::string &key = words[0];
        if (key == "font" && words.size() == 3) {
            set.font_path = words[1];
            set.texture_name = words[2];
        } else if (key == "height" && words.size() == 2) {
            set.height = Parse_Int(source, line.number, words[1]);
        } else if (key == "monospace" && words.size() == 2) {
            set.monospace = Parse_Int(source, line.number, words[1]);
        } else if (key == "outline" && words.size() == 2) {
            set.outline = words[1];
        } else if (key == "bold" && words.size() == 2) {
            const std::string folder = path.substr(0, path.find_last_of('/') + 1);
            const GlyphSet thin = Read_Glyphs(folder + words[1]);
            if (thin.height != set.height)
                source.Fail(line.number, "the bold letters come from glyphs of another height");
            for (const auto &[code, glyph] : thin.glyphs)
                derived[code] = Embolden(glyph);
        } else if (key == "char" && words.size() == 2) {
            if (set.height <= 0)
                source.Fail(line.number, "the height comes before the first glyph");
            const int code = Parse_Char_Name(source, line.number, words[1]);
            if (set.glyphs.count(code))
                source.Fail(line.number, "character " + words[1] + " is drawn twice");
            set.glyphs[code] = Read_Glyph_Rows(source, i, set, code);
        } else {
            source.Fail(line.number, "unknown line '" + line.text + "'");
        }
    }
    // Glyphs drawn in this file win over the derived ones.
    set.glyphs.merge(derived);
    return set;
}

// Through the engine's PNG writer, the one the tests read pictures back with.
void Save_Png(const Picture &picture, const std::string &path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    hgePng::Pixels pixels;
    pixels.width = picture.width;
    pixels.height = picture.height;
    pixels.argb = picture.argb;
    if (!hgePng::SavePNG(pixels, path))
        throw ArtError(path + ": cannot be written");
}
