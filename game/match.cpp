// Stand-in until the match flow lands: the background under the status line.
#include "match.h"

#include "main.h"
#include "scene.h"

bool Game()
{
    Update_Sun();
    return hge->Input_GetKey() == HGEK_ESCAPE;
}

bool Render_Game()
{
    hge->Gfx_BeginScene(t_window_main);
    hge->Gfx_Clear(0);
    Draw_Background();
    hge->Gfx_EndScene();
    Draw_All();
    return false;
}
