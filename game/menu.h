// The title, main menu, options and credits screens, shown until a match starts.
#pragma once

// The screen shown: one of the values below.
extern int menu_screen;

enum {
    TITLE_SCREEN = 0,
    MAIN_MENU = 1,
    OPTIONS_SCREEN = 3,
    CREDITS_SCREEN = 5,
};

// Frame function of the menus: acts on this frame's key, or without one on
// its click; true ends the program.
bool Menu();
// Render function of the menus: the current screen's texts on black.
bool Render_Menu();
// The title screen, as at program start.
void Reset_Menu();

// Called by the online client when the relay starts its match: the players
// (a human side moves by hand, the other is shown its moves), a fresh deal
// with `first` to place, and the match screen from the next frame on.
void Begin_Match(const bool human[2], int first);
