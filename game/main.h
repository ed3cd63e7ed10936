// The entry: WinMain configures the engine, makes every resource, runs the
// frame loop from the title screen and releases everything in a fixed order.
#pragma once

#include "hge_entry.h"
#include "resources.h"

// Puts every global of the game at its program-start value: no players, an
// empty board and message bag, the title screen, the sun at its start. WinMain
// starts from here, so a second run in one process starts exactly as the first.
void Reset_Game_State();
