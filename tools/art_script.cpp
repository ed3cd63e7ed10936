// Picture scripts. A script names its output and size, then paints it line
// by line; later lines paint over earlier ones and every write replaces the
// pixel (no blending), so a transparent colour cuts a hole.
//
//   image PATH W H                 output path under the build folder, size
//   enlarge PATH FACTOR            also writes the finished picture FACTOR
//                                  times larger, each pixel a square of them
//   lattice X Y COLW ROWH SHIFT COLS ROWS
//                                  an oblique grid: (X, Y) is the back-left
//                                  corner, each row is ROWH pixels high and
//                                  lies SHIFT pixels right of the row above
//   define NAME REGION             names a region for later lines
//   fill REGION : PAINT            paints every pixel of the region
//   map X Y ... end                pixel map: palette keys, '.' leaves a pixel
//   sprite NAME ... end            pixel map with keys of its own, for stamps
//   skin NAME KEY=PAINT ...        what each key of a sprite paints
//   stamp SPRITE SKIN X,Y ...      draws a sprite at each point ("-": palette keys)
//   text GLYPHS X Y COLOUR "TEXT"  letters of a glyph file, without outline
//
// Regions: all | rect X Y W H | disc CX CY R | ellipse CX CY RX RY |
//   below X,Y X,Y ... (under a smooth line) | blobs FLOOR X,Y,R ... (discs cut
//   below row FLOOR) | gear CX CY RIN ROUT TEETH | cell C R | frame C R |
//   grid (the whole lattice) | edge up|down|left|right N REGION | grow N REGION |
//   offset DX DY REGION | extrude N REGION | ( REGION ) | NAME; a modifier
//   (edge, grow, offset, extrude) takes the one region right after it.
//   Regions join left to right with + (union), - (difference) and & (overlap).
// Paints: COLOUR | vgrad POS COLOUR ... | hgrad POS COLOUR ... |
//   rgrad CX CY POS COLOUR ... | speckle PERCENT COLOUR SEED | checker C1 C2 |
//   bands H C1 C2. Gradients step between neighbouring stops with a 4×4
//   ordered dither, so there are no bands.
#include <cmath>
#include <functional>
#include <optional>

#include "art.h"

using Region = std::function<bool(int x, int y)>;
using Paint = std::function<std::optional<uint32_t>(int x, int y)>;

namespace {

struct Lattice {
    int x0 = 0, y0 = 0;
    int column_width = 1, row_height = 1, row_shift = 0;
    int columns = 0, rows = 0;

    // u runs along a row, v down the rows, both from the back-left corner.
    void Coordinates(int x, int y, int &u, int &v) const
    {
        v = y - y0;
        const int shift = row_shift * v;
        const int shift_floor = shift >= 0 ? shift / row_height : -((-shift + row_height - 1) / row_height);
        u = x - x0 - shift_floor;
    }
    bool On_Grid(int u, int v) const
    {
        return u >= 0 && v >= 0 && u <= columns * column_width && v <= rows * row_height;
    }
    bool On_Line(int u, int v) const { return u % column_width == 0 || v % row_height == 0; }
};

struct Stop {
    float position;
    uint32_t colour;
};

struct Script {
    const Source &source;
    const Palette &palette;
    std::string assets_dir;
    Picture picture;
    std::string output_path;
    std::vector<std::pair<std::string, int>> enlargements;  // path, factor
    Lattice lattice;
    std::map<std::string, Region> regions;
    std::map<std::string, std::vector<std::string>> sprites;
    std::map<std::string, std::map<char, Paint>> skins;
};

// The words of one line and the reading position in them.
struct Words {
    const Script &script;
    int line;
    std::vector<std::string> words;
    size_t next = 0;

    bool Done() const { return next >= words.size(); }
    const std::string &Peek() const { return words[next]; }
    [[noreturn]] void Fail(const std::string &message) const { script.source.Fail(line, message); }
    std::string Take()
    {
        if (Done())
            Fail("the line ends too early");
        return words[next++];
    }
    int Int() { return Parse_Int(script.source, line, Take()); }
    float Float() { return Parse_Float(script.source, line, Take()); }
    uint32_t Colour()
    {
        const std::string name = Take();
        const auto found = script.palette.by_name.find(name);
        if (found == script.palette.by_name.end())
            Fail("no colour named '" + name + "' in the palette");
        return found->second;
    }
    bool Next_Is_Point() const { return !Done() && Peek().find(',') != std::string::npos; }
    // "x,y" or "x,y,r": as many numbers as the caller asks for.
    std::vector<float> Point(size_t count)
    {
        const std::string word = Take();
        std::vector<float> numbers;
        size_t start = 0;
        while (start <= word.size()) {
            const size_t comma = std::min(word.find(',', start), word.size());
            numbers.push_back(Parse_Float(script.source, line, word.substr(start, comma - start)));
            start = comma + 1;
        }
        if (numbers.size() != count)
            Fail("'" + word + "' should hold " + std::to_string(count) + " numbers");
        return numbers;
    }
};

const int BAYER4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

}  // namespace

static float Dither_Threshold(int x, int y) { return (BAYER4[y & 3][x & 3] + 0.5f) / 16.0f; }

static uint32_t Dithered(const std::vector<Stop> &stops, float position, int x, int y)
{
    if (position <= stops.front().position)
        return stops.front().colour;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (position < stops[i].position) {
            const Stop &from = stops[i - 1];
            const float t = (position - from.position) / (stops[i].position - from.position);
            return t > Dither_Threshold(x, y) ? stops[i].colour : from.colour;
        }
    }
    return stops.back().colour;
}

static float Distance(float x, float y, float cx, float cy) { return std::hypot(x - cx, y - cy); }

// Pixel (x, y) covers [x, x + 1) × [y, y + 1); shapes are tested at its centre.
static float Centre(int i) { return static_cast<float>(i) + 0.5f; }

static uint32_t Hash(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(seed) * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// The smooth line through the points, flat beyond the first and the last.
static float Curve_At(const std::vector<std::vector<float>> &points, float x)
{
    if (x <= points.front()[0])
        return points.front()[1];
    for (size_t i = 1; i < points.size(); ++i) {
        if (x < points[i][0]) {
            const float t = (x - points[i - 1][0]) / (points[i][0] - points[i - 1][0]);
            const float eased = (1.0f - std::cos(t * 3.14159265f)) * 0.5f;
            return points[i - 1][1] + (points[i][1] - points[i - 1][1]) * eased;
        }
    }
    return points.back()[1];
}

static Region Parse_Region(Words &words);
static Region Parse_Term(Words &words);

static Region Parse_Gear(Words &words)
{
    const float cx = words.Float(), cy = words.Float();
    const float inner = words.Float(), outer = words.Float();
    const int teeth = words.Int();
    return [=](int x, int y) {
        const float dx = Centre(x) - cx, dy = Centre(y) - cy;
        const float d = std::hypot(dx, dy);
        if (d <= inner)
            return true;
        const float turns = (std::atan2(dy, dx) / 6.2831853f + 1.0f) * teeth;
        return d <= outer && turns - std::floor(turns) < 0.5f;
    };
}

static Region Parse_Lattice_Region(Words &words, const std::string &kind)
{
    const Lattice lattice = words.script.lattice;
    if (lattice.columns == 0)
        words.Fail("'" + kind + "' needs a lattice line before it");
    if (kind == "grid") {
        return [=](int x, int y) {
            int u, v;
            lattice.Coordinates(x, y, u, v);
            return lattice.On_Grid(u, v);
        };
    }
    const int column = words.Int(), row = words.Int();
    const bool interior = kind == "cell";
    return [=](int x, int y) {
        int u, v;
        lattice.Coordinates(x, y, u, v);
        const int u0 = column * lattice.column_width, v0 = row * lattice.row_height;
        const bool in_cell = u >= u0 && u <= u0 + lattice.column_width && v >= v0 && v <= v0 + lattice.row_height;
        return in_cell && lattice.On_Line(u, v) != interior;
    };
}

static Region Parse_Edge(Words &words)
{
    const std::string direction = words.Take();
    const int n = words.Int();
    int dx = 0, dy = 0;
    if (direction == "up")
        dy = -n;
    else if (direction == "down")
        dy = n;
    else if (direction == "left")
        dx = -n;
    else if (direction == "right")
        dx = n;
    else
        words.Fail("an edge is up, down, left or right");
    const Region inner = Parse_Term(words);
    return [=](int x, int y) { return inner(x, y) && !inner(x + dx, y + dy); };
}

static Region Parse_Modifier(Words &words, const std::string &kind)
{
    if (kind == "edge")
        return Parse_Edge(words);
    if (kind == "grow") {
        const int n = words.Int();
        const Region inner = Parse_Term(words);
        return [=](int x, int y) {
            for (int dy = -n; dy <= n; ++dy)
                for (int dx = -n; dx <= n; ++dx)
                    if (inner(x + dx, y + dy))
                        return true;
            return false;
        };
    }
    if (kind == "offset") {
        const int ox = words.Int(), oy = words.Int();
        const Region inner = Parse_Term(words);
        return [=](int x, int y) { return inner(x - ox, y - oy); };
    }
    const int n = words.Int();  // extrude
    const Region inner = Parse_Term(words);
    return [=](int x, int y) {
        for (int k = 0; k <= n; ++k)
            if (inner(x, y - k))
                return true;
        return false;
    };
}

static Region Parse_Shape(Words &words, const std::string &kind)
{
    if (kind == "all")
        return [](int, int) { return true; };
    if (kind == "rect") {
        const int rx = words.Int(), ry = words.Int(), rw = words.Int(), rh = words.Int();
        return [=](int x, int y) { return x >= rx && y >= ry && x < rx + rw && y < ry + rh; };
    }
    if (kind == "disc") {
        const float cx = words.Float(), cy = words.Float(), r = words.Float();
        return [=](int x, int y) { return Distance(Centre(x), Centre(y), cx, cy) <= r; };
    }
    if (kind == "ellipse") {
        const float cx = words.Float(), cy = words.Float(), rx = words.Float(), ry = words.Float();
        return [=](int x, int y) { return std::hypot((Centre(x) - cx) / rx, (Centre(y) - cy) / ry) <= 1.0f; };
    }
    if (kind == "below") {
        std::vector<std::vector<float>> points;
        while (words.Next_Is_Point())
            points.push_back(words.Point(2));
        if (points.empty())
            words.Fail("'below' needs points x,y");
        return [=](int x, int y) { return Centre(y) >= Curve_At(points, Centre(x)); };
    }
    if (kind == "blobs") {
        const int floor_row = words.Int();
        std::vector<std::vector<float>> discs;
        while (words.Next_Is_Point())
            discs.push_back(words.Point(3));
        return [=](int x, int y) {
            if (y > floor_row)
                return false;
            for (const auto &d : discs)
                if (Distance(Centre(x), Centre(y), d[0], d[1]) <= d[2])
                    return true;
            return false;
        };
    }
    if (kind == "gear")
        return Parse_Gear(words);
    if (kind == "cell" || kind == "frame" || kind == "grid")
        return Parse_Lattice_Region(words, kind);
    if (kind == "edge" || kind == "grow" || kind == "offset" || kind == "extrude")
        return Parse_Modifier(words, kind);
    const auto named = words.script.regions.find(kind);
    if (named == words.script.regions.end())
        words.Fail("unknown region '" + kind + "'");
    return named->second;
}

static bool Is_Region_Keyword(const std::string &word)
{
    static const char *const KEYWORDS[] = {"all",   "rect",  "disc", "ellipse", "below",  "blobs",  "gear",
                                           "cell",  "frame", "grid", "edge",    "grow",   "offset", "extrude"};
    for (const char *keyword : KEYWORDS)
        if (word == keyword)
            return true;
    return false;
}

static Region Parse_Term(Words &words)
{
    const std::string kind = words.Take();
    if (kind != "(")
        return Parse_Shape(words, kind);
    Region inner = Parse_Region(words);
    if (words.Take() != ")")
        words.Fail("a '(' without its ')'");
    return inner;
}

static Region Parse_Region(Words &words)
{
    Region region = Parse_Term(words);
    while (!words.Done() && (words.Peek() == "+" || words.Peek() == "-" || words.Peek() == "&")) {
        const std::string op = words.Take();
        const Region left = region, right = Parse_Term(words);
        if (op == "+")
            region = [=](int x, int y) { return left(x, y) || right(x, y); };
        else if (op == "-")
            region = [=](int x, int y) { return left(x, y) && !right(x, y); };
        else
            region = [=](int x, int y) { return left(x, y) && right(x, y); };
    }
    return region;
}

static std::vector<Stop> Parse_Stops(Words &words)
{
    std::vector<Stop> stops;
    while (!words.Done()) {
        const float position = words.Float();
        stops.push_back({position, words.Colour()});
        if (stops.size() > 1 && position < stops[stops.size() - 2].position)
            words.Fail("gradient stops go in increasing order");
    }
    if (stops.empty())
        words.Fail("a gradient needs stops: position colour ...");
    return stops;
}

static Paint Parse_Paint(Words &words)
{
    const std::string kind = words.Peek();
    if (kind == "vgrad" || kind == "hgrad") {
        words.Take();
        const bool vertical = kind == "vgrad";
        const std::vector<Stop> stops = Parse_Stops(words);
        return [=](int x, int y) -> std::optional<uint32_t> {
            return Dithered(stops, Centre(vertical ? y : x), x, y);
        };
    }
    if (kind == "rgrad") {
        words.Take();
        const float cx = words.Float(), cy = words.Float();
        const std::vector<Stop> stops = Parse_Stops(words);
        return [=](int x, int y) -> std::optional<uint32_t> {
            return Dithered(stops, Distance(Centre(x), Centre(y), cx, cy), x, y);
        };
    }
    if (kind == "speckle") {
        words.Take();
        const int percent = words.Int();
        const uint32_t colour = words.Colour();
        const int seed = words.Int();
        return [=](int x, int y) -> std::optional<uint32_t> {
            if (static_cast<int>(Hash(x, y, seed) % 100) < percent)
                return colour;
            return std::nullopt;
        };
    }
    if (kind == "checker") {
        words.Take();
        const uint32_t even = words.Colour(), odd = words.Colour();
        return [=](int x, int y) -> std::optional<uint32_t> { return ((x + y) & 1) ? odd : even; };
    }
    if (kind == "bands") {
        words.Take();
        const int height = words.Int();
        const uint32_t first = words.Colour(), second = words.Colour();
        return [=](int, int y) -> std::optional<uint32_t> { return ((y / height) & 1) ? second : first; };
    }
    const uint32_t colour = words.Colour();
    return [=](int, int) -> std::optional<uint32_t> { return colour; };
}

static void Paint_Region(Picture &picture, const Region &region, const Paint &paint)
{
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (region(x, y))
                if (const auto colour = paint(x, y))
                    picture.Set(x, y, *colour);
}

static void Run_Fill(Script &script, Words &words)
{
    const Region region = Parse_Region(words);
    if (words.Done() || words.Take() != ":")
        words.Fail("fill REGION : PAINT");
    const Paint paint = Parse_Paint(words);
    if (!words.Done())
        words.Fail("unexpected '" + words.Peek() + "' after the paint");
    Paint_Region(script.picture, region, paint);
}

// The rows of a map or sprite block, up to its "end" line.
static std::vector<std::string> Read_Block(const Script &script, size_t &index)
{
    const int start = script.source.lines[index].number;
    std::vector<std::string> rows;
    while (++index < script.source.lines.size()) {
        const std::string &text = script.source.lines[index].text;
        if (text == "end")
            return rows;
        rows.push_back(text);
    }
    script.source.Fail(start, "block without 'end'");
}

static void Draw_Palette_Map(Script &script, int line, const std::vector<std::string> &rows, int ox, int oy)
{
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            const char key = rows[y][x];
            if (key == '.')
                continue;
            const auto found = script.palette.by_key.find(key);
            if (found == script.palette.by_key.end())
                script.source.Fail(line, std::string("no palette colour has the key '") + key + "'");
            script.picture.Set(ox + static_cast<int>(x), oy + static_cast<int>(y), found->second);
        }
    }
}

static void Draw_Skinned_Map(Script &script, int line, const std::vector<std::string> &rows,
                             const std::map<char, Paint> &skin, int ox, int oy)
{
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            const char key = rows[y][x];
            if (key == '.')
                continue;
            const auto found = skin.find(key);
            if (found == skin.end())
                script.source.Fail(line, std::string("the skin does not paint the key '") + key + "'");
            // Skin paints see the sprite's own coordinates, so stripes line up in every copy.
            if (const auto colour = found->second(static_cast<int>(x), static_cast<int>(y)))
                script.picture.Set(ox + static_cast<int>(x), oy + static_cast<int>(y), *colour);
        }
    }
}

// skin NAME KEY=PAINT ...; a paint of several words joins them with ':'.
static void Run_Skin(Script &script, Words &words)
{
    const std::string name = words.Take();
    std::map<char, Paint> skin;
    while (!words.Done()) {
        const std::string entry = words.Take();
        if (entry.size() < 3 || entry[1] != '=')
            words.Fail("a skin entry is KEY=PAINT");
        std::string spaced = entry.substr(2);
        for (char &c : spaced)
            if (c == ':')
                c = ' ';
        Words paint_words{script, words.line, Split_Words(spaced)};
        skin[entry[0]] = Parse_Paint(paint_words);
    }
    script.skins[name] = skin;
}

static void Run_Stamp(Script &script, Words &words)
{
    const std::string name = words.Take();
    const auto sprite = script.sprites.find(name);
    if (sprite == script.sprites.end())
        words.Fail("no sprite named '" + name + "'");
    const std::string skin_name = words.Take();
    const auto skin = script.skins.find(skin_name);
    if (skin_name != "-" && skin == script.skins.end())
        words.Fail("no skin named '" + skin_name + "'");
    while (!words.Done()) {
        const std::vector<float> at = words.Point(2);
        const int ox = static_cast<int>(at[0]), oy = static_cast<int>(at[1]);
        if (skin_name == "-")
            Draw_Palette_Map(script, words.line, sprite->second, ox, oy);
        else
            Draw_Skinned_Map(script, words.line, sprite->second, skin->second, ox, oy);
    }
}

static void Run_Text(Script &script, Words &words)
{
    const GlyphSet glyphs = Read_Glyphs(script.assets_dir + "/" + words.Take());
    int pen_x = words.Int();
    const int top = words.Int();
    const uint32_t colour = words.Colour();
    for (const char c : words.Take()) {
        const auto found = glyphs.glyphs.find(static_cast<unsigned char>(c));
        if (found == glyphs.glyphs.end())
            words.Fail(std::string("the glyphs have no '") + c + "'");
        const Glyph &glyph = found->second;
        for (int y = 0; y < glyphs.height; ++y)
            for (int x = 0; x < glyph.width; ++x)
                if (glyph.Ink(x, y))
                    script.picture.Set(pen_x + x, top + y, colour);
        pen_x += glyph.width + 1;
    }
}

static void Run_Lattice(Script &script, Words &words)
{
    Lattice &l = script.lattice;
    l.x0 = words.Int();
    l.y0 = words.Int();
    l.column_width = words.Int();
    l.row_height = words.Int();
    l.row_shift = words.Int();
    l.columns = words.Int();
    l.rows = words.Int();
    if (l.column_width <= 0 || l.row_height <= 0 || l.columns <= 0 || l.rows <= 0)
        words.Fail("a lattice has positive sizes and counts");
}

static void Run_Image(Script &script, Words &words)
{
    if (script.picture.width)
        words.Fail("a script makes one image");
    script.output_path = words.Take();
    const int width = words.Int(), height = words.Int();
    if (width <= 0 || height <= 0)
        words.Fail("an image has a positive size");
    script.picture = Picture(width, height);
}

static void Run_Enlarge(Script &script, Words &words)
{
    const std::string path = words.Take();
    const int factor = words.Int();
    if (factor < 2 || factor > 16)
        words.Fail("an enlargement is 2 to 16 times");
    if (path == script.output_path)
        words.Fail("an enlargement needs a path of its own");
    script.enlargements.emplace_back(path, factor);
}

static Picture Enlarged(const Picture &small, int factor)
{
    Picture large(small.width * factor, small.height * factor);
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x)
            large.Set(x, y, small.At(x / factor, y / factor));
    return large;
}

static void Run_Line(Script &script, size_t &index)
{
    const SourceLine &line = script.source.lines[index];
    Words words{script, line.number, Split_Words(line.text)};
    const std::string command = words.Take();
    if (command == "image")
        return Run_Image(script, words);
    if (!script.picture.width)
        words.Fail("the script starts with 'image PATH W H'");
    if (command == "lattice")
        Run_Lattice(script, words);
    else if (command == "enlarge")
        Run_Enlarge(script, words);
    else if (command == "define") {
        const std::string name = words.Take();
        if (Is_Region_Keyword(name))
            words.Fail("'" + name + "' is a region word and cannot be a name");
        script.regions[name] = Parse_Region(words);
    } else if (command == "fill")
        Run_Fill(script, words);
    else if (command == "map") {
        const int ox = words.Int(), oy = words.Int();
        Draw_Palette_Map(script, line.number, Read_Block(script, index), ox, oy);
    } else if (command == "sprite")
        script.sprites[words.Take()] = Read_Block(script, index);
    else if (command == "skin")
        Run_Skin(script, words);
    else if (command == "stamp")
        Run_Stamp(script, words);
    else if (command == "text")
        Run_Text(script, words);
    else
        words.Fail("unknown command '" + command + "'");
    if (!words.Done())
        words.Fail("unexpected '" + words.Peek() + "'");
}

std::vector<Painted> Run_Script(const Source &source, const Palette &palette, const std::string &assets_dir)
{
    Script script{source, palette, assets_dir, {}, {}, {}, {}, {}, {}, {}};
    for (size_t index = 0; index < source.lines.size(); ++index)
        Run_Line(script, index);
    if (!script.picture.width)
        throw ArtError(source.path + ": the script makes no image");
    std::vector<Painted> painted{{script.output_path, script.picture}};
    for (const auto &[path, factor] : script.enlargements)
        painted.push_back({path, Enlarged(script.picture, factor)});
    return painted;
}
