#include "rules_fixture.h"

#include <cmath>
#include <filesystem>
#include <string>

#include "torvek_test.h"

std::ostream &operator<<(std::ostream &out, const Kind &kind)
{
    return out << "{type " << kind.type << ", side " << kind.owner << ", combo " << kind.combo << "}";
}

std::ostream &operator<<(std::ostream &out, const Box &box)
{
    return out << "(" << box.x << ", " << box.y << ", " << box.w << ", " << box.h << ")";
}

// A picture of w x h pixels written into the test's own folder, so that
// tests running side by side never read each other's half-written file.
static HTEXTURE Load_Test_Picture(HGE *engine, const char *name, int w, int h)
{
    hgeTesting::Pixels pixels;
    pixels.width = w;
    pixels.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.argb.push_back(0xFF000000u | (x * 7u) << 16 | (y * 5u) << 8 | 0x40u);
    const std::string path = torvek_test::ScratchDir() + "/rules-" + name + ".png";
    EXPECT_TRUE(hgeTesting::SavePNG(pixels, path));
    const HTEXTURE texture = engine->Texture_Load(path.c_str(), 0, false);
    std::filesystem::remove(torvek_test::FilePath(path));
    return texture;
}

void RulesTest::SetUp()
{
    hgeTesting::Reset();
    hgeTesting::UseHeadless();
    engine = hgeCreate(HGE_VERSION);
    hge = engine;
    ASSERT_TRUE(engine->System_Initiate());
    target = engine->Target_Create(SCREEN_LENGTH, SCREEN_HEIGHT, true);

    // Three columns of types by two rows of sides; four combo marks side by side.
    t_pieces = Load_Test_Picture(engine, "pieces", PIECE_TYPES * PIECE_WIDTH, SIDES * PIECE_HEIGHT);
    t_combo = Load_Test_Picture(engine, "combo", FULL_COMBO * COMBO_MARK_WIDTH, 3);
    ASSERT_NE(t_pieces, 0u);
    ASSERT_NE(t_combo, 0u);
    for (int i = 0; i < FULL_COMBO; ++i) {
        s_combo[i] = new hgeSprite(t_combo, COMBO_MARK_WIDTH * i, 0, COMBO_MARK_WIDTH, 3);
        s_combo[i]->SetZ(0.1f, -1);
    }
    Reset_Board();
}

void RulesTest::TearDown()
{
    // The entry's order at shutdown: the players, then the cells.
    Delete_Players();
    Erase_Board(NO_CELL);
    for (hgeSprite *&mark : s_combo) {
        delete mark;
        mark = nullptr;
    }
    if (engine) {
        engine->Texture_Free(t_pieces);
        engine->Texture_Free(t_combo);
        engine->Target_Free(target);
        engine->System_Shutdown();
        engine->Release();
    }
    t_pieces = t_combo = 0;
    hge = engine = nullptr;
    hgeTesting::Reset();
}

void RulesTest::New_Players()
{
    opponent[0] = new Player(true);
    opponent[1] = new Player(true);
}

void RulesTest::Put(int cell, int type, int owner, int combo)
{
    ASSERT_EQ(board_array[cell], nullptr) << "cell " << cell << " is taken";
    Put_Piece(cell, type, owner, combo);
}

void RulesTest::Give(int side, const std::vector<int> &types, int combo)
{
    for (int type : types)
        opponent[side]->Add_Piece(type, side, combo);
}

std::vector<Kind> RulesTest::Hand(int side) const
{
    std::vector<Kind> kinds;
    const Player *player = opponent[side];
    for (int i = 0; i < player->Get_HandSize(); ++i) {
        const Piece *piece = player->Get_Piece(i);
        kinds.push_back({piece->Get_Type(), piece->Get_Owner(), piece->Get_Combo()});
    }
    return kinds;
}

Kind RulesTest::Cell(int cell) const
{
    const Piece *piece = board_array[cell];
    if (!piece)
        return {-1, -1, -1};
    return {piece->Get_Type(), piece->Get_Owner(), piece->Get_Combo()};
}

int RulesTest::Pieces_On_Board() const
{
    int count = 0;
    for (const Piece *piece : board_array)
        count += piece != nullptr;
    return count;
}

std::vector<hgeQuad> RulesTest::Drawn(const std::function<void()> &draw)
{
    hgeTesting::ClearQuads();
    hgeTesting::RecordQuads(true);
    engine->Gfx_BeginScene(target);
    draw();
    engine->Gfx_EndScene();
    hgeTesting::RecordQuads(false);
    std::vector<hgeQuad> quads;
    for (const hgeTesting::RecordedQuad &recorded : hgeTesting::Quads())
        quads.push_back(recorded.quad);
    return quads;
}

Box RulesTest::Texels(const hgeQuad &quad) const
{
    const float w = static_cast<float>(engine->Texture_GetWidth(quad.tex));
    const float h = static_cast<float>(engine->Texture_GetHeight(quad.tex));
    // Normalised coordinates carry rounding; a wrong cut is off by whole texels.
    const float x = std::round(quad.v[0].tx * w), y = std::round(quad.v[0].ty * h);
    return {x, y, std::round(quad.v[2].tx * w) - x, std::round(quad.v[2].ty * h) - y};
}

Box RulesTest::Placed(const hgeQuad &quad)
{
    return {quad.v[0].x, quad.v[0].y, quad.v[2].x - quad.v[0].x, quad.v[2].y - quad.v[0].y};
}

float RulesTest::Depth(const hgeQuad &quad)
{
    for (const hgeVertex &corner : quad.v)
        if (corner.z != quad.v[0].z)
            return std::nanf("");
    return quad.v[0].z;
}
