// The art tool: turns the readable sources in assets/ (a named palette,
// picture scripts with pixel maps and procedural fills, glyph maps) into the
// PNG images and bitmap font files that the game loads. It runs at build time
// only and is no part of the game.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// Colours are 32-bit ARGB, alpha in the top byte.
constexpr uint32_t CLEAR = 0x00000000;

// Every fault in a source: the message names the file and the line.
struct ArtError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A source file split into lines, each remembered with its number.
struct SourceLine {
    int number;
    std::string text;
};

struct Source {
    std::string path;
    std::vector<SourceLine> lines;

    [[noreturn]] void Fail(int line, const std::string &message) const;
};

Source Read_Source(const std::string &path);
// The line's words; a double-quoted word keeps its spaces (quotes dropped).
std::vector<std::string> Split_Words(const std::string &line);
int Parse_Int(const Source &source, int line, const std::string &word);
float Parse_Float(const Source &source, int line, const std::string &word);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;  // row by row from the top

    Picture() = default;
    Picture(int w, int h) : width(w), height(h), argb(static_cast<size_t>(w) * h, CLEAR) {}
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
    void Set(int x, int y, uint32_t colour)
    {
        if (Inside(x, y))
            argb[static_cast<size_t>(y) * width + x] = colour;
    }
};

// The named colours every picture and font is drawn with. A colour may also
// carry a one-character key for pixel maps.
struct Palette {
    std::map<std::string, uint32_t> by_name;
    std::map<char, uint32_t> by_key;

    bool Has(const std::string &name) const { return by_name.count(name) != 0; }
};

Palette Read_Palette(const std::string &path);

// Glyph maps of one font: '#' is ink, '.' is empty; every glyph has the
// set's height, and a monospaced set gives every glyph the same width.
struct Glyph {
    int width = 0;
    std::vector<std::string> rows;

    bool Ink(int x, int y) const { return rows[y][x] == '#'; }
};

struct GlyphSet {
    std::string font_path;     // the description file to write, e.g. Fonts/font1.fnt
    std::string texture_name;  // its texture, beside it
    int height = 0;
    int monospace = 0;      // cell width of a monospaced set, 0 when proportional
    std::string outline;    // palette name of the ring round every letter
    std::string ink = "font_ink";
    std::map<int, Glyph> glyphs;  // by character code
};

GlyphSet Read_Glyphs(const std::string &path);

// A picture and where it goes, relative to the output folder.
struct Painted {
    std::string path;
    Picture picture;
};

// Paints one picture script; returns the image that the script names, then
// each enlargement of it that the script asks for.
std::vector<Painted> Run_Script(const Source &script, const Palette &palette, const std::string &assets_dir);

// Lays out the letters of a glyph set in a texture and writes the texture
// and the description file under the output folder.
void Write_Font(const GlyphSet &glyphs, const Palette &palette, const std::string &output_dir);

void Save_Png(const Picture &picture, const std::string &path);
