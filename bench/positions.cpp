#include "positions.h"

#include <unistd.h>

#include <fstream>

#include "animation.h"
#include "board.h"
#include "main.h"
#include "match.h"
#include "message.h"
#include "pieces.h"
#include "turns.h"

namespace bench {

namespace {

constexpr float FRAME_STEP = 1.0f / 60.0f;
constexpr float START_TIME = 100.0f;
constexpr uint32_t SEED = 7;
// Frames the title screen is left alone before it counts as at rest.
constexpr int TITLE_SETTLE_FRAMES = 2;
// A match gives up if the capture has not started by then.
constexpr int FRAME_LIMIT = 600;

struct PiecePlace {
    int cell, type, owner, combo;
};

// A full board in the fighting phase where the Solids fire piece in the
// front-left cell (where the fighting cursor starts) can take the Stripes
// leaf right behind it; every combo level shows. Twelve pieces in all.
static const PiecePlace CAPTURE_BOARD[] = {
    {0, 1, SOLIDS, 0}, {1, 2, STRIPES, 0}, {2, 2, SOLIDS, 3},
    {3, 1, STRIPES, 1}, {4, 0, SOLIDS, 1}, {5, 0, STRIPES, 0},
    {6, 0, SOLIDS, 0}, {7, 2, STRIPES, 2}, {8, 1, SOLIDS, 0},
};
static const int CAPTURE_HAND_SOLIDS[] = {2};
static const int CAPTURE_HAND_STRIPES[] = {0, 1};
// Choose the attacker under the cursor, aim one row back, confirm.
static const std::vector<int> CAPTURE_KEYS = {HGEK_SPACE, HGEK_UP, HGEK_SPACE};

// Title, then N on the main menu: the match's first frame is the fifth.
static const std::vector<int> MATCH_KEYS = {0, HGEK_ENTER, 0, HGEK_N};

void SetUpFighting()
{
    Erase_Board(NO_CELL);
    for (const PiecePlace &p : CAPTURE_BOARD)
        Put_Piece(p.cell, p.type, p.owner, p.combo);
    opponent[SOLIDS]->Delete_Hand();
    for (int type : CAPTURE_HAND_SOLIDS)
        opponent[SOLIDS]->Add_Piece(type, SOLIDS, 0);
    opponent[STRIPES]->Delete_Hand();
    for (int type : CAPTURE_HAND_STRIPES)
        opponent[STRIPES]->Add_Piece(type, STRIPES, 0);
    game_turn = SOLIDS;
    game_phase = PHASE_FIGHTING;
    turn_phase = CHOOSING_WHAT;
    Set_Selection(FIGHTING_CURSORS);
}

bool InMatch()
{
    return hge && hge->System_GetState(HGE_FRAMEFUNC) == Game;
}

// Where the art tool paints Images/ and Fonts/.
void EnterDataFolder()
{
    if (chdir(TORVEK_DATA_DIR) != 0)
        hgeTesting::Reset();
}

}  // namespace

const char *PositionName(Position position)
{
    switch (position) {
    case Position::Title: return "title";
    case Position::Placing: return "placing";
    case Position::Fighting: return "fighting";
    case Position::Capture: return "capture";
    case Position::Message: return "message";
    }
    return "";
}

std::string PositionName(Position position, WindowSize window)
{
    std::string name = PositionName(position);
    const WindowSize game;
    if (window.width != game.width || window.height != game.height)
        name += "@" + std::to_string(window.width) + "x" + std::to_string(window.height);
    return name;
}

// An announcement rising over the match for good: a new one whenever the
// last has stopped.
static void KeepAMessageRising()
{
    if (message_bag.empty() || message_bag.front()->Get_Y() <= MESSAGE_STOP_Y) {
        Clear_Messages();
        Announce("Fightin' time!");
    }
}

bool RunInPosition(Position position, const std::function<bool()> &steady, WindowSize window)
{
    EnterDataFolder();
    hgeTesting::Reset();
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(FRAME_STEP, START_TIME);
    hgeTesting::SetSeed(SEED);
    hgeTesting::DrawHeadlessWindow(true);
    if (position != Position::Title)
        hgeTesting::QueueKeys(MATCH_KEYS);

    bool reached = false;
    bool match_set_up = false;
    float frozen_time = 0.0f;
    const WindowSize game;
    hgeTesting::SetFrameHook([&](int frame) {
        if (frame == 0 && (window.width != game.width || window.height != game.height))
            hgeTesting::ResizeWindow(window.width, window.height);
        if (reached) {
            // A frozen clock holds the capture at its first step for good.
            if (position == Position::Capture)
                hgeTesting::SetTime(frozen_time - FRAME_STEP);
            if (position == Position::Message)
                KeepAMessageRising();
            return steady();
        }
        if (frame >= FRAME_LIMIT)
            return true;
        switch (position) {
        case Position::Title:
            reached = frame >= TITLE_SETTLE_FRAMES;
            break;
        case Position::Placing:
        case Position::Message:
            // Solids to move, choosing a hand piece: the first match frame on.
            if (InMatch() && hgeTesting::PendingKeys() == 0 && !match_set_up) {
                match_set_up = true;
                game_turn = SOLIDS;
            } else if (match_set_up) {
                reached = true;
                if (position == Position::Message)
                    KeepAMessageRising();
            }
            break;
        case Position::Fighting:
            if (InMatch() && !match_set_up) {
                match_set_up = true;
                SetUpFighting();
            } else if (match_set_up) {
                reached = true;
            }
            break;
        case Position::Capture:
            if (InMatch() && !match_set_up) {
                match_set_up = true;
                SetUpFighting();
                hgeTesting::QueueKeys(CAPTURE_KEYS);
            } else if (match_set_up && transition == TRANS_ATTACK && trans_phase == 1) {
                reached = true;
                frozen_time = hge->Timer_GetTime();
                hgeTesting::SetTime(frozen_time - FRAME_STEP);
            }
            break;
        }
        return false;
    });
    RunWinMain();
    hgeTesting::Reset();
    return reached;
}

static std::string FontBitmap(const char *description)
{
    std::ifstream file(description);
    const std::string key = "Bitmap=";
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(key, 0) == 0)
            return "Fonts/" + line.substr(key.size());
    }
    return "";
}

// The textures of the running program and the files they were loaded from.
static std::vector<TextureFile> ProgramTextures()
{
    std::vector<TextureFile> files = {
        {t_clouds, "Images/Background/TRVK_clouds.png"},
        {t_ground, "Images/Background/TRVK_ground.png"},
        {t_sky, "Images/Background/TRVK_sky.png"},
        {t_sun, "Images/Background/TRVK_sun.png"},
        {t_hge, "Images/TRVK_hge.png"},
        {t_pieces, "Images/Pieces/TRVK_pieces.png"},
        {t_board, "Images/TRVK_board.png"},
        {t_select, "Images/TRVK_select.png"},
        {t_combo, "Images/Pieces/TRVK_combo.png"},
    };
    const std::pair<hgeFont *, const char *> fonts[] = {{font1, "Fonts/font1.fnt"},
                                                        {font2, "Fonts/font2.fnt"}};
    for (const auto &[font, description] : fonts) {
        hgeSprite *letter = font ? font->GetSprite('A') : nullptr;
        if (letter)
            files.push_back({letter->GetTexture(), FontBitmap(description)});
    }
    return files;
}

RecordedFrame RecordFrame(Position position, WindowSize window)
{
    RecordedFrame record;
    bool recording = false;
    RunInPosition(position, [&] {
        if (!recording) {
            recording = true;
            hgeTesting::ClearQuads();
            hgeTesting::RecordQuads(true);
            hgeTesting::CaptureWindow(true);
            hgeTesting::RedrawEveryFrame(true);
            return false;
        }
        record.quads = hgeTesting::Quads();
        record.window = hgeTesting::ReadWindow();
        record.textures = ProgramTextures();
        record.target = t_window_main;
        record.target_width = hge->Texture_GetWidth(t_window_main);
        record.target_height = hge->Texture_GetHeight(t_window_main);
        record.window_width = record.window.width;
        record.window_height = record.window.height;
        return true;
    }, window);
    return record;
}

}  // namespace bench
