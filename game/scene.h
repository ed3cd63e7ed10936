// The two-stage frame (virtual screen, then the window) and the sky scene
// behind the board.
#pragma once

// The sun drifts left and right between x 179 and 185 during a match.
extern float sun_x;
extern float sun_y;
extern float sun_drift;  // signed step per match frame

// Called by Render_Game right after it has begun and cleared the virtual screen.
void Draw_Background();
// Called last by both render functions: the virtual screen onto the window.
void Draw_All();
// Called first in every match frame; the menus leave the sun standing.
void Update_Sun();
// The sun back at its start, drifting right, as at program start.
void Reset_Sun();
