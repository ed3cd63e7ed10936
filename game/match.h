// A match: the frame-by-frame flow of its rounds and the match screen. It
// stands on the rules, the turns, the animations and the messages; nothing
// below includes it.
#pragma once

// A message rising from below the screen that holds the match for three seconds.
void Announce(const char *text);

// Frame function of a match: true when Escape ends the program.
bool Game();
// Render function of a match.
bool Render_Game();
