#include "main.h"

#include "animation.h"
#include "board.h"
#include "menu.h"
#include "message.h"
#include "pieces.h"
#include "scene.h"
#include "turns.h"

void Reset_Game_State()
{
    Delete_Players();
    Reset_Board();
    Set_Selection(PLACING_CURSORS);
    Reset_Transition();
    Clear_Messages();
    Reset_Menu();
    Reset_Sun();
}

static void Configure_Engine()
{
    hge->System_SetState(HGE_FRAMEFUNC, Menu);
    hge->System_SetState(HGE_RENDERFUNC, Render_Menu);
    hge->System_SetState(HGE_SCREENWIDTH, WINDOW_LENGTH);
    hge->System_SetState(HGE_SCREENHEIGHT, WINDOW_HEIGHT);
    hge->System_SetState(HGE_FPS, HGEFPS_VSYNC);
    hge->System_SetState(HGE_SHOWSPLASH, false);
    hge->System_SetState(HGE_TEXTUREFILTER, false);
    hge->System_SetState(HGE_WINDOWED, true);
    hge->System_SetState(HGE_USESOUND, false);
    hge->System_SetState(HGE_ZBUFFER, true);
    hge->System_SetState(HGE_HIDEMOUSE, false);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Reset_Game_State();
    hge = hgeCreate(HGE_VERSION);
    Configure_Engine();

    const bool started = hge->System_Initiate();
    if (started) {
        Load_Resources();
        hge->System_Start();
    }

    // Fonts, pieces and sprites each hold an engine reference and call the
    // engine when destroyed, so they go before the engine is shut down; the
    // pieces left in the hands go with their players, then those on the board.
    Free_Fonts();
    Delete_Players();
    Erase_Board(NO_CELL);
    Free_Resources();
    hge->System_Shutdown();
    hge->Release();
    hge = nullptr;

    // A failed start is reported to the shell; the engine's log says why.
    return started ? 0 : 1;
}
