// Bitmap fonts: a texture of letter pictures and a font description file
// that names it and gives each character's rectangle and spacing. Text is
// drawn letter by letter; line feeds start new lines, aligned left, right or
// centred on a point.
#pragma once

#include <vector>

#include "hge.h"
#include "hgesprite.h"

#define TEXT_LEFT 0
#define TEXT_RIGHT 1
#define TEXT_CENTER 2
#define TEXT_HORZMASK 0x03

#define TEXT_TOP 0
#define TEXT_BOTTOM 4
#define TEXT_MIDDLE 8
#define TEXT_VERTMASK 0x0C

class hgeFont {
public:
    hgeFont(const char *filename, bool mipmap = false);
    ~hgeFont();
    hgeFont(const hgeFont &) = delete;
    hgeFont &operator=(const hgeFont &) = delete;

    void Render(float x, float y, int align, const char *string);
    void printf(float x, float y, int align, const char *format, ...)
        __attribute__((format(printf, 5, 6)));
    // Wraps the text at spaces into a box w wide and places the block in it.
    void printfb(float x, float y, float w, float h, int align, const char *format, ...)
        __attribute__((format(printf, 7, 8)));

    void SetColor(DWORD color);
    void SetZ(float z);
    void SetBlendMode(int blend);

    DWORD GetColor() const { return color; }
    float GetZ() const { return z; }
    int GetBlendMode() const { return blendMode; }
    float GetHeight() const { return fontHeight; }
    // Width of the widest line of the text.
    float GetStringWidth(const char *string) const;
    // The letter drawn for character code chr, or null.
    hgeSprite *GetSprite(unsigned char chr) const { return letterSprites[chr]; }

private:
    // Implementation-private members are the toolkit's to choose; the
    // fields below are the font's state as drawing uses it.
    HTEXTURE texture;  // of the latest texture line
    // Every texture the description file loaded, freed by the destructor;
    // letters keep the texture of the texture line above them.
    std::vector<HTEXTURE> textures;
    hgeSprite *letterSprites[256];
    float preSpacing[256];
    float postSpacing[256];
    float fontHeight;
    float scale;
    float proportion;
    float rotation;
    float tracking;
    float spacing;
    DWORD color;
    float z;
    int blendMode;

    static HGE *hge;
    static char buffer[1024];

    // Copies the line at `file` into `line` (256 bytes) and returns where the
    // next one starts, or null when there is none.
    static const char *_get_line(const char *file, char *line);
    void ReadDescription(const char *path, const char *text, bool mipmap);
    bool ReadTextureLine(const char *path, const char *line, bool mipmap);
    void ReadLetterLine(const char *line);
    // The letter drawn for code c: its own, else "?", else -1.
    int LetterFor(unsigned char c) const;
};
