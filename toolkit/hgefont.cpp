#include "hgefont.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char FNTHEADERTAG[] = "[HGEFONT]";
static const char FNTBITMAPTAG[] = "Bitmap";
static const char FNTCHARTAG[] = "Char";

// Lines of a description file hold at most this many characters.
static const size_t MAX_LINE = 255;
static const int LETTER_NUMBERS = 6;  // x, y, w, h, pre, post
static const unsigned MAX_CODE = 255;
static const unsigned char FALLBACK_LETTER = '?';

HGE *hgeFont::hge = nullptr;
char hgeFont::buffer[1024];

static bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

static bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

static const char *SkipBlanks(const char *p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the hexadecimal digits at *p, any number of them, into a code. The
// value stops growing once it is past MAX_CODE, so no digit count overflows.
static unsigned ReadHexCode(const char *&p)
{
    unsigned code = 0;
    for (int digit; (digit = HexDigit(*p)) >= 0; ++p) {
        if (code <= MAX_CODE)
            code = code * 16 + static_cast<unsigned>(digit);
    }
    return code;
}

// One " , %d" of the letter line: a comma with optional white space around
// it, then a decimal integer (clamped to int). False when it is not there.
static bool ReadCommaNumber(const char *&p, int &value)
{
    p = SkipBlanks(p);
    if (*p != ',')
        return false;
    ++p;
    char *end = nullptr;
    const long number = std::strtol(p, &end, 10);
    if (end == p)
        return false;
    p = end;
    value = static_cast<int>(number < INT_MIN ? INT_MIN : number > INT_MAX ? INT_MAX : number);
    return true;
}

// Truncation toward zero that stays defined for values no int can hold.
static float Truncate(float value) { return std::trunc(value); }

hgeFont::hgeFont(const char *filename, bool mipmap)
    : texture(0), fontHeight(0.0f), scale(1.0f), proportion(1.0f), rotation(0.0f),
      tracking(0.0f), spacing(1.0f), color(0xFFFFFFFF), z(0.5f), blendMode(BLEND_DEFAULT)
{
    hge = hgeCreate(HGE_VERSION);
    for (int i = 0; i < 256; ++i) {
        letterSprites[i] = nullptr;
        preSpacing[i] = 0.0f;
        postSpacing[i] = 0.0f;
    }

    DWORD size = 0;
    void *data = hge->Resource_Load(filename, &size);
    if (!data)
        return;
    // A 0 after the last byte ends the text; a 0 inside the file ends it there.
    std::vector<char> text(static_cast<size_t>(size) + 1, '\0');
    std::memcpy(text.data(), data, size);
    hge->Resource_Free(data);

    ReadDescription(filename, text.data(), mipmap);
}

hgeFont::~hgeFont()
{
    for (hgeSprite *letter : letterSprites)
        delete letter;
    for (HTEXTURE loaded : textures)
        hge->Texture_Free(loaded);
    hge->Release();
}

const char *hgeFont::_get_line(const char *file, char *line)
{
    if (!*file)
        return nullptr;
    size_t length = 0;
    while (file[length] && !IsLineEnd(file[length]))
        ++length;
    // A line longer than the format allows is ignored whole: it reads as an
    // empty line, which no rule takes (and which fails the header test).
    const size_t kept = length <= MAX_LINE ? length : 0;
    std::memcpy(line, file, kept);
    line[kept] = '\0';
    file += length;
    while (IsLineEnd(*file))
        ++file;
    return file;
}

void hgeFont::ReadDescription(const char *path, const char *text, bool mipmap)
{
    char line[MAX_LINE + 1];
    const char *next = _get_line(text, line);
    if (!next || std::strcmp(line, FNTHEADERTAG) != 0) {
        hge->System_Log("Font %s has incorrect format.", path);
        return;
    }
    for (const char *start = next; (next = _get_line(start, line)); start = next) {
        // A texture line too long to hold names a texture that cannot be
        // loaded: reading stops there, rather than going on with texture 0.
        if (!*line && std::strncmp(start, FNTBITMAPTAG, sizeof FNTBITMAPTAG - 1) == 0) {
            texture = 0;
            return;
        }
        if (std::strncmp(line, FNTBITMAPTAG, sizeof FNTBITMAPTAG - 1) == 0) {
            if (!ReadTextureLine(path, line, mipmap))
                return;
        } else if (std::strncmp(line, FNTCHARTAG, sizeof FNTCHARTAG - 1) == 0) {
            ReadLetterLine(line);
        }
    }
}

// "Bitmap = name": the name is taken relative to the description file's
// folder. False when reading has to stop: the texture could not be loaded,
// or its path does not fit the platform's path limit.
bool hgeFont::ReadTextureLine(const char *path, const char *line, bool mipmap)
{
    const char *p = SkipBlanks(line + sizeof FNTBITMAPTAG - 1);
    if (*p != '=')
        return true;
    const char *name = SkipBlanks(p + 1);
    size_t nameLength = 0;
    while (name[nameLength] && !IsBlank(name[nameLength]))
        ++nameLength;

    // The folder ends at the last backslash, or failing that the last slash.
    const char *slash = std::strrchr(path, '\\');
    if (!slash)
        slash = std::strrchr(path, '/');
    const size_t folderLength = slash ? static_cast<size_t>(slash - path) + 1 : 0;

    char texturePath[PATH_MAX];
    if (nameLength == 0) {
        // No name: the description file's own path is what gets loaded.
        const size_t pathLength = std::strlen(path);
        if (pathLength >= sizeof texturePath) {
            texture = 0;
            return false;
        }
        std::memcpy(texturePath, path, pathLength + 1);
    } else {
        if (folderLength + nameLength >= sizeof texturePath) {
            texture = 0;
            return false;
        }
        std::memcpy(texturePath, path, folderLength);
        std::memcpy(texturePath + folderLength, name, nameLength);
        texturePath[folderLength + nameLength] = '\0';
    }

    texture = hge->Texture_Load(texturePath, 0, mipmap);
    if (!texture)
        return false;
    textures.push_back(texture);
    return true;
}

// "Char = code, x, y, w, h, pre, post" with the code in hexadecimal or as a
// quoted byte. A line without its equals sign, with a code above 255 or with
// fewer than six numbers makes no letter.
void hgeFont::ReadLetterLine(const char *line)
{
    const char *p = std::strchr(line, '=');
    if (!p)
        return;
    ++p;
    while (*p == ' ')
        ++p;

    unsigned code = 0;
    if (*p == '"') {
        if (!p[1])
            return;
        code = static_cast<unsigned char>(p[1]);
        p += 2;
        // The closing quote is skipped unchecked, but never the line's end.
        if (*p)
            ++p;
    } else {
        code = ReadHexCode(p);
        if (code > MAX_CODE)
            return;
    }

    int numbers[LETTER_NUMBERS];
    for (int &number : numbers) {
        if (!ReadCommaNumber(p, number))
            return;
    }
    const auto [x, y, w, h, pre, post] = numbers;

    delete letterSprites[code];
    letterSprites[code] = new hgeSprite(texture, static_cast<float>(x), static_cast<float>(y),
                                        static_cast<float>(w), static_cast<float>(h));
    preSpacing[code] = static_cast<float>(pre);
    postSpacing[code] = static_cast<float>(post);
    if (static_cast<float>(h) > fontHeight)
        fontHeight = static_cast<float>(h);
}

int hgeFont::LetterFor(unsigned char c) const
{
    if (letterSprites[c])
        return c;
    if (letterSprites[FALLBACK_LETTER])
        return FALLBACK_LETTER;
    return -1;
}

float hgeFont::GetStringWidth(const char *string) const
{
    float widest = 0.0f;
    const char *p = string;
    while (*p) {
        float sum = 0.0f;
        for (; *p && *p != '\n'; ++p) {
            const int i = LetterFor(static_cast<unsigned char>(*p));
            if (i >= 0)
                sum += preSpacing[i] + letterSprites[i]->width + postSpacing[i] + tracking;
        }
        if (sum > widest)
            widest = sum;
        // A carriage return is a character inside a line, but not right
        // after a line feed.
        while (IsLineEnd(*p))
            ++p;
    }
    return widest * scale * proportion;
}

void hgeFont::Render(float x, float y, int align, const char *string)
{
    const int horizontal = align & TEXT_HORZMASK;
    // Each line is placed by the widest of itself and every line after it.
    auto lineStart = [&](const char *rest) {
        if (horizontal == TEXT_RIGHT)
            return x - GetStringWidth(rest);
        if (horizontal == TEXT_CENTER)
            return x - Truncate(GetStringWidth(rest) * 0.5f);
        return x;
    };

    float px = lineStart(string);
    for (const char *p = string; *p; ++p) {
        if (*p == '\n') {
            y += Truncate(fontHeight * scale * spacing);
            px = lineStart(p + 1);
            continue;
        }
        const int i = LetterFor(static_cast<unsigned char>(*p));
        if (i < 0)
            continue;
        px += preSpacing[i] * scale * proportion;
        letterSprites[i]->RenderEx(px, y, rotation, proportion * scale, scale);
        px += (postSpacing[i] + letterSprites[i]->width + tracking) * scale * proportion;
    }
}

// Formats into the shared buffer: at most 1023 characters, always ended by 0.
static void FormatInto(char (&buffer)[1024], const char *format, va_list args)
{
    if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0)
        buffer[0] = '\0';
    buffer[sizeof buffer - 1] = '\0';
}

void hgeFont::printf(float x, float y, int align, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    FormatInto(buffer, format, args);
    va_end(args);
    Render(x, y, align, buffer);
}

void hgeFont::printfb(float x, float y, float w, float h, int align, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    FormatInto(buffer, format, args);
    va_end(args);

    // Wrap in place: only spaces become line feeds, words are never split.
    char *lineStart = buffer;
    char *word = buffer;
    char *lastSeparator = nullptr;
    int lines = 0;
    for (;;) {
        char *separator = word;
        while (*separator && *separator != ' ' && *separator != '\n')
            ++separator;

        const char kept = *separator;
        *separator = '\0';
        const float width = GetStringWidth(lineStart);
        *separator = kept;

        if (width > w) {
            if (word == lineStart) {
                // Too wide alone: it keeps its line, which ends after it.
                if (*separator == ' ')
                    *separator = '\n';
            } else {
                *lastSeparator = '\n';
                lineStart = lastSeparator + 1;
                ++lines;
            }
        }

        if (*separator == '\n') {
            ++lines;
            lastSeparator = separator;
            lineStart = word = separator + 1;
            continue;
        }
        if (!*separator) {
            ++lines;
            break;
        }
        lastSeparator = separator;
        word = separator + 1;
    }

    const float blockHeight = spacing * fontHeight * scale * static_cast<float>(lines);

    float tx = x;
    if ((align & TEXT_HORZMASK) == TEXT_RIGHT)
        tx = x + w;
    else if ((align & TEXT_HORZMASK) == TEXT_CENTER)
        tx = x + Truncate(w * 0.5f);

    float ty = y;
    if ((align & TEXT_VERTMASK) == TEXT_BOTTOM)
        ty = y + (h - blockHeight);
    else if ((align & TEXT_VERTMASK) == TEXT_MIDDLE)
        ty = y + Truncate((h - blockHeight) * 0.5f);

    Render(tx, ty, align, buffer);
}

void hgeFont::SetColor(DWORD col)
{
    color = col;
    for (hgeSprite *letter : letterSprites) {
        if (letter)
            letter->SetColor(col, -1);
    }
}

void hgeFont::SetZ(float depth)
{
    z = depth;
    for (hgeSprite *letter : letterSprites) {
        if (letter)
            letter->SetZ(depth, -1);
    }
}

void hgeFont::SetBlendMode(int blend)
{
    blendMode = blend;
    for (hgeSprite *letter : letterSprites) {
        if (letter)
            letter->quad.blend = blend;
    }
}
