#include "scene.h"

#include "resources.h"

constexpr float SUN_START_X = 182.0f;
constexpr float SUN_Y = 51.0f;
constexpr float SUN_START_DRIFT = 0.05f;
// The sun turns once it reaches either bound.
constexpr float SUN_LEFT_BOUND = 179.0f;
constexpr float SUN_RIGHT_BOUND = 185.0f;

float sun_x = SUN_START_X;
float sun_y = SUN_Y;
float sun_drift = SUN_START_DRIFT;

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
    if (sun_x >= SUN_RIGHT_BOUND || sun_x <= SUN_LEFT_BOUND)
        sun_drift = -sun_drift;
}

void Reset_Sun()
{
    sun_x = SUN_START_X;
    sun_y = SUN_Y;
    sun_drift = SUN_START_DRIFT;
}
