#include "menu.h"

#include "board.h"
#include "computer.h"
#include "match.h"
#include "online.h"
#include "pieces.h"
#include "recording.h"
#include "resources.h"
#include "scene.h"

int menu_screen;

enum MenuAction { GO_TO_SCREEN, START_MATCH, QUIT };

struct MenuKey {
    int screen;
    int key;
    MenuAction action;
    int next_screen;
};

// Every key not listed does nothing: C is offered on the menu but has no screen.
static const MenuKey MENU_KEYS[] = {
    {TITLE_SCREEN,   HGEK_ENTER,  GO_TO_SCREEN, MAIN_MENU},
    {TITLE_SCREEN,   HGEK_ESCAPE, QUIT,         TITLE_SCREEN},
    {MAIN_MENU,      HGEK_N,      START_MATCH,  MAIN_MENU},
    {MAIN_MENU,      HGEK_I,      GO_TO_SCREEN, OPTIONS_SCREEN},
    {MAIN_MENU,      HGEK_K,      GO_TO_SCREEN, CREDITS_SCREEN},
    {MAIN_MENU,      HGEK_ESCAPE, QUIT,         MAIN_MENU},
    {OPTIONS_SCREEN, HGEK_ESCAPE, GO_TO_SCREEN, MAIN_MENU},
    {CREDITS_SCREEN, HGEK_ESCAPE, GO_TO_SCREEN, MAIN_MENU},
};

struct MenuText {
    int screen;
    hgeFont **font;  // null: the engine's logo, its hot spot on (x, y)
    float x, y;
    int align;
    const char *text;
    int key = 0;  // what a click on the text stands for; 0: nothing
};

// Each screen's texts in drawing order, on black.
static const MenuText MENU_TEXTS[] = {
    {TITLE_SCREEN,   &font2, 128,  10, TEXT_CENTER, "Welcome to TORVEK"},
    {TITLE_SCREEN,   &font1, 128,  30, TEXT_CENTER, "A game of super strategy maybe."},
    {TITLE_SCREEN,   &font1,  20,  60, TEXT_LEFT,   "Game by   : The TORVEK team     "},
    {TITLE_SCREEN,   &font1,  20,  70, TEXT_LEFT,   "Version   : 0.7 - Cool Stuff    "},
    {TITLE_SCREEN,   &font1,  20,  80, TEXT_LEFT,   "Completed : ---                 "},
    {TITLE_SCREEN,   &font2, 128, 110, TEXT_CENTER, "Press the enter!"},
    {TITLE_SCREEN,   &font1, 128, 140, TEXT_CENTER, "                                    "},
    {TITLE_SCREEN,   &font1, 128, 150, TEXT_CENTER, "                                    "},
    {TITLE_SCREEN,   &font1, 128, 160, TEXT_CENTER, "                                    "},
    {TITLE_SCREEN,   &font1, 128, 170, TEXT_CENTER, "                                    "},

    {MAIN_MENU,      &font2, 128,  10, TEXT_CENTER, "Welcome to MENU"},
    {MAIN_MENU,      &font1, 128,  30, TEXT_CENTER, "A menu of cool strategy no."},
    {MAIN_MENU,      &font1, 128,  60, TEXT_CENTER, "Press corresponding key for option"},
    {MAIN_MENU,      &font1, 128, 100, TEXT_CENTER, "N - Start game please", HGEK_N},
    {MAIN_MENU,      &font1, 128, 110, TEXT_CENTER, "I - Go to the options", HGEK_I},
    {MAIN_MENU,      &font1, 128, 120, TEXT_CENTER, "C - Read a neato note", HGEK_C},
    {MAIN_MENU,      &font1, 128, 130, TEXT_CENTER, "K - Read them credits", HGEK_K},

    {OPTIONS_SCREEN, &font2, 128,  10, TEXT_CENTER, "Welcome to OPTIONS"},

    // Credit lines: label padded to 19, dash in column 20, name ending in column 35.
    {CREDITS_SCREEN, &font2, 128,  20, TEXT_CENTER, "Them Credits"},
    {CREDITS_SCREEN, &font1, 128,  40, TEXT_CENTER,
     "Bitmap font        -    TORVEK team\n"
     "Sound effects      - (no sound yet)\n"
     "2D engine          - TORVEK on SDL2\n"
     "Everything else    -    TORVEK team\n"
     "    Thanks Everyone\n"
     "A TORVEK production"},
    {CREDITS_SCREEN, nullptr, 128, 140, 0, nullptr},
    {CREDITS_SCREEN, &font1, 128, 170, TEXT_CENTER, "TORVEK engine: SDL2 + SDL2_image"},
    {CREDITS_SCREEN, &font1,   2, 182, TEXT_LEFT,   "Back-ESC"},
};

// On these screens a click anywhere stands for a key; on the main menu only a
// click on one of its lines does, for that line's key.
struct ScreenClick {
    int screen;
    int key;
};

static const ScreenClick SCREEN_CLICKS[] = {
    {TITLE_SCREEN,   HGEK_ENTER},
    {OPTIONS_SCREEN, HGEK_ESCAPE},
    {CREDITS_SCREEN, HGEK_ESCAPE},
};

static bool Text_Covers(const MenuText &t, float x, float y)
{
    const hgeFont *font = *t.font;
    const float width = font->GetStringWidth(t.text);
    float left = t.x;
    if (t.align == TEXT_CENTER)
        left -= width / 2;
    return x >= left && x < left + width && y >= t.y && y < t.y + font->GetHeight();
}

// The key that this frame's click stands for, or 0.
static int Clicked_Key()
{
    const int click = hge->Input_GetClick();
    float x = 0, y = 0;
    if (click == 0 || !hge->Input_GetMousePos(&x, &y))
        return 0;
    for (const ScreenClick &c : SCREEN_CLICKS)
        if (c.screen == menu_screen)
            return c.key;
    if (click != HGEK_LBUTTON)
        return 0;
    for (const MenuText &t : MENU_TEXTS)
        if (t.screen == menu_screen && t.key != 0 && Text_Covers(t, x, y))
            return t.key;
    return 0;
}

static void Install_Match()
{
    hge->System_SetState(HGE_FRAMEFUNC, Game);
    hge->System_SetState(HGE_RENDERFUNC, Render_Game);
}

void Begin_Match(const bool human[SIDES], int first)
{
    opponent[SOLIDS] = new Player(human[SOLIDS]);
    opponent[STRIPES] = new Player(human[STRIPES]);
    Reset_Match();
    game_turn = Begin_Recorded_Match(first);
    Install_Match();
}

static void Start_Match()
{
    if (Online_Active()) {
        Online_Start();
        return;
    }
    opponent[SOLIDS] = new Player(!computer_plays[SOLIDS]);
    opponent[STRIPES] = new Player(!computer_plays[STRIPES]);
    Reset_Match();
    game_turn = Begin_Recorded_Match(hge->Random_Int(0, 1));
    Install_Match();
}

bool Menu()
{
    // A key and a click in one frame: the key counts.
    int key = hge->Input_GetKey();
    if (key == 0)
        key = Clicked_Key();
    for (const MenuKey &k : MENU_KEYS) {
        if (k.screen != menu_screen || k.key != key)
            continue;
        switch (k.action) {
        case GO_TO_SCREEN:
            menu_screen = k.next_screen;
            return false;
        case START_MATCH:
            Start_Match();
            return false;
        case QUIT:
            return true;
        }
    }
    return false;
}

static void Draw_Screen(int screen)
{
    for (const MenuText &t : MENU_TEXTS) {
        if (t.screen != screen)
            continue;
        if (t.font)
            (*t.font)->printf(t.x, t.y, t.align, "%s", t.text);
        else
            s_hge->Render(t.x, t.y);
    }
}

bool Render_Menu()
{
    hge->Gfx_BeginScene(t_window_main);
    hge->Gfx_Clear(0);
    Draw_Screen(menu_screen);
    hge->Gfx_EndScene();
    Draw_All();
    return false;
}

void Reset_Menu()
{
    menu_screen = TITLE_SCREEN;
}
