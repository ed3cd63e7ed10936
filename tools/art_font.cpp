// Bitmap fonts: every letter gets a one-pixel ring in the outline colour, is
// packed into one texture, and is listed in a font description file with its
// rectangle. Neighbouring letters share their ring column (one pixel after
// every letter is taken back), so letters stand one dark pixel apart.
#include <fstream>

#include "art.h"

static const int FIRST_PRINTABLE = 32;
static const int LAST_PRINTABLE = 126;
static const int RING = 1;
// Transparent pixels between letters in the texture, so that no letter's
// rectangle touches another's.
static const int GAP = 1;
static const int TEXTURE_WIDTH = 256;

namespace {

struct Placed {
    int code;
    int x, y, w, h;
};

}  // namespace

static int Letter_Width(const Glyph &glyph) { return glyph.width + 2 * RING; }

static void Check_Coverage(const GlyphSet &set, const std::string &path)
{
    for (int code = FIRST_PRINTABLE; code <= LAST_PRINTABLE; ++code)
        if (!set.glyphs.count(code))
            throw ArtError(path + ": no glyph for character " + std::to_string(code));
    if (set.font_path.empty() || set.outline.empty())
        throw ArtError(path + ": needs 'font PATH TEXTURE' and 'outline COLOUR'");
}

static std::vector<Placed> Lay_Out(const GlyphSet &set, int &texture_height)
{
    std::vector<Placed> placed;
    const int letter_height = set.height + 2 * RING;
    int x = 0, y = 0;
    for (const auto &[code, glyph] : set.glyphs) {
        const int w = Letter_Width(glyph);
        if (x + w > TEXTURE_WIDTH) {
            x = 0;
            y += letter_height + GAP;
        }
        placed.push_back({code, x, y, w, letter_height});
        x += w + GAP;
    }
    texture_height = 1;
    while (texture_height < y + letter_height)
        texture_height *= 2;
    return placed;
}

static uint32_t Named(const Palette &palette, const std::string &name, const std::string &path)
{
    const auto found = palette.by_name.find(name);
    if (found == palette.by_name.end())
        throw ArtError(path + ": no colour named '" + name + "' in the palette");
    return found->second;
}

static void Draw_Letter(Picture &texture, const Glyph &glyph, const Placed &at, uint32_t ink, uint32_t ring)
{
    const int height = static_cast<int>(glyph.rows.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            if (!glyph.Ink(x, y))
                continue;
            for (int dy = -RING; dy <= RING; ++dy)
                for (int dx = -RING; dx <= RING; ++dx) {
                    const int px = at.x + RING + x + dx, py = at.y + RING + y + dy;
                    if (texture.At(px, py) != ink)
                        texture.Set(px, py, ring);
                }
            texture.Set(at.x + RING + x, at.y + RING + y, ink);
        }
    }
}

static void Write_Description(const GlyphSet &set, const std::vector<Placed> &placed, const std::string &path)
{
    std::ofstream out(path, std::ios::binary);
    out << "[HGEFONT]\n";
    out << "Bitmap=" << set.texture_name << "\n";
    char line[96];
    for (const Placed &p : placed) {
        std::snprintf(line, sizeof line, "Char=%02X,%d,%d,%d,%d,0,%d\n", p.code, p.x, p.y, p.w, p.h, -RING);
        out << line;
    }
    if (!out)
        throw ArtError(path + ": cannot be written");
}

void Write_Font(const GlyphSet &set, const Palette &palette, const std::string &output_dir)
{
    Check_Coverage(set, set.font_path);
    int texture_height = 0;
    const std::vector<Placed> placed = Lay_Out(set, texture_height);
    Picture texture(TEXTURE_WIDTH, texture_height);
    const uint32_t ink = Named(palette, set.ink, set.font_path);
    const uint32_t ring = Named(palette, set.outline, set.font_path);
    for (const Placed &p : placed)
        Draw_Letter(texture, set.glyphs.at(p.code), p, ink, ring);

    const std::string description = output_dir + "/" + set.font_path;
    const std::string folder = description.substr(0, description.find_last_of('/') + 1);
    Save_Png(texture, folder + set.texture_name);
    Write_Description(set, placed, description);
}
