#include "menu.h"

#include <cstddef>

#include "board.h"
#include "main.h"
#include "match.h"
#include "pieces.h"
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
    hgeFont **font;
    float x, y;
    int align;
    const char *text;
};

static const MenuText TITLE_TEXTS[] = {
    {&font2, 128,  10, TEXT_CENTER, "Welcome to TORVEK"},
    {&font1, 128,  30, TEXT_CENTER, "A game of super strategy maybe."},
    {&font1,  20,  60, TEXT_LEFT,   "Game by   : The TORVEK team     "},
    {&font1,  20,  70, TEXT_LEFT,   "Version   : 0.7 - Cool Stuff    "},
    {&font1,  20,  80, TEXT_LEFT,   "Completed : ---                 "},
    {&font2, 128, 110, TEXT_CENTER, "Press the enter!"},
    {&font1, 128, 140, TEXT_CENTER, "                                    "},
    {&font1, 128, 150, TEXT_CENTER, "                                    "},
    {&font1, 128, 160, TEXT_CENTER, "                                    "},
    {&font1, 128, 170, TEXT_CENTER, "                                    "},
};

static const MenuText MAIN_MENU_TEXTS[] = {
    {&font2, 128,  10, TEXT_CENTER, "Welcome to MENU"},
    {&font1, 128,  30, TEXT_CENTER, "A menu of cool strategy no."},
    {&font1, 128,  60, TEXT_CENTER, "Press corresponding key for option"},
    {&font1, 128, 100, TEXT_CENTER, "N - Start game please"},
    {&font1, 128, 110, TEXT_CENTER, "I - Go to the options"},
    {&font1, 128, 120, TEXT_CENTER, "C - Read a neato note"},
    {&font1, 128, 130, TEXT_CENTER, "K - Read them credits"},
};

static const MenuText OPTIONS_TEXTS[] = {
    {&font2, 128, 10, TEXT_CENTER, "Welcome to OPTIONS"},
};

// Credit lines: label padded to 19, dash in column 20, name ending in column 35.
static const MenuText CREDITS_TEXTS[] = {
    {&font2, 128, 20, TEXT_CENTER, "Them Credits"},
    {&font1, 128, 40, TEXT_CENTER,
     "Bitmap font        -    TORVEK team\n"
     "Sound effects      - (no sound yet)\n"
     "2D engine          - TORVEK on SDL2\n"
     "Everything else    -    TORVEK team\n"
     "    Thanks Everyone\n"
     "A TORVEK production"},
};

// Drawn after the engine's logo.
static const MenuText CREDITS_FOOTER[] = {
    {&font1, 128, 170, TEXT_CENTER, "TORVEK engine: SDL2 + SDL2_image"},
    {&font1,   2, 182, TEXT_LEFT,   "Back-ESC"},
};

static void Start_Match()
{
    opponent[0] = new Player(true);  // Solids
    opponent[1] = new Player(true);  // Stripes
    Reset_Match();
    game_turn = hge->Random_Int(0, 1);
    hge->System_SetState(HGE_FRAMEFUNC, Game);
    hge->System_SetState(HGE_RENDERFUNC, Render_Game);
}

bool Menu()
{
    const int key = hge->Input_GetKey();
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

template <std::size_t N>
static void Draw_Texts(const MenuText (&texts)[N])
{
    for (const MenuText &t : texts)
        (*t.font)->printf(t.x, t.y, t.align, "%s", t.text);
}

bool Render_Menu()
{
    hge->Gfx_BeginScene(t_window_main);
    hge->Gfx_Clear(0);
    switch (menu_screen) {
    case TITLE_SCREEN:
        Draw_Texts(TITLE_TEXTS);
        break;
    case MAIN_MENU:
        Draw_Texts(MAIN_MENU_TEXTS);
        break;
    case OPTIONS_SCREEN:
        Draw_Texts(OPTIONS_TEXTS);
        break;
    case CREDITS_SCREEN:
        Draw_Texts(CREDITS_TEXTS);
        s_hge->Render(128, 140);
        Draw_Texts(CREDITS_FOOTER);
        break;
    }
    hge->Gfx_EndScene();
    Draw_All();
    return false;
}
