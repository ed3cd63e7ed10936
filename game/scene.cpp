#include "scene.h"

#include "main.h"

float sun_x = 182.0f;
float sun_y = 51.0f;
float sun_drift = 0.05f;

// Back to front: the clouds pass in front of the sun, the board lies on the ground.
void Draw_Background()
{
    s_sky->Render(0, 0);
    s_sun->Render(sun_x, sun_y);
    s_clouds->Render(0, 6);
    s_ground->Render(0, 116);
    s_board->Render(BOARD_X, BOARD_Y);
}

void Draw_All()
{
    hge->Gfx_BeginScene(0);
    hge->Gfx_Clear(0);
    s_window_main->RenderEx(0, 0, 0, SCREEN_SCALE, SCREEN_SCALE);
    hge->Gfx_EndScene();
}

void Update_Sun()
{
    sun_x = sun_x + sun_drift;
    // Tested after the step, so the sun overshoots a bound by at most one step.
    if (sun_x >= 185.0f || sun_x <= 179.0f)
        sun_drift = -sun_drift;
}
