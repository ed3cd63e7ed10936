// The resources every screen draws with: the engine, the screen constants and
// every texture, sprite and font, made once at start-up and kept until
// shutdown. Nothing here knows the rest of the game.
#pragma once

#include "hge.h"
#include "hgefont.h"
#include "hgesprite.h"

// All positions in the game are pixels of the virtual screen, drawn
// SCREEN_SCALE times its size onto the window.
constexpr int SCREEN_LENGTH = 256;
constexpr int SCREEN_HEIGHT = 192;
constexpr int SCREEN_SCALE = 4;
constexpr int WINDOW_LENGTH = SCREEN_LENGTH * SCREEN_SCALE;
constexpr int WINDOW_HEIGHT = SCREEN_HEIGHT * SCREEN_SCALE;
// Centre of the board on the virtual screen.
constexpr int BOARD_X = 128;
constexpr int BOARD_Y = 140;

extern HGE *hge;

extern HTEXTURE t_clouds, t_ground, t_sky, t_sun, t_hge, t_pieces, t_board, t_select, t_combo;
extern HTARGET t_window_main;

extern hgeSprite *s_window_main;
extern hgeSprite *s_clouds, *s_ground, *s_sky, *s_sun, *s_hge, *s_board;
extern hgeSprite *s_select[2];  // [0] hand marker, [1] cell marker
extern hgeSprite *s_combo[4];   // combo marks for levels 1 to 4

extern hgeFont *font1;  // light grey: body text and scores
extern hgeFont *font2;  // pale yellow-green: headings and messages

// Called by WinMain once the engine is initiated: the fonts, the virtual
// screen, the textures and the sprites, in that order.
void Load_Resources();
// Called by WinMain at shutdown, first of all.
void Free_Fonts();
// Called by WinMain at shutdown once nothing draws any more: the sprites, the
// textures and the virtual screen. Pieces make sprites of their own on
// t_pieces, so they must be gone before.
void Free_Resources();
