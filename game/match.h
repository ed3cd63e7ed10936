// A match: frame by frame flow of the rounds and the match screen.
#pragma once

// Frame function of a match: true when Escape ends the program.
bool Game();
// Render function of a match.
bool Render_Game();
