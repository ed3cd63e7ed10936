// The real program driven headless into the positions whose frames the
// benchmarks measure: the title screen, a match while a side chooses a piece
// to place and while it chooses a capture (nothing moving but the sun), and
// a capture being played.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hge.h"
#include "hge_testing.h"

namespace bench {

enum class Position { Title, Placing, Fighting, Capture };

const char *PositionName(Position position);

// Runs WinMain headless from the title screen (virtual clock of 60 frames a
// second, a fixed seed, the window drawn every frame as a player's is) into
// the position. From then on `steady` is called after every frame; the
// program stays in the position, the same picture each frame but for the
// sun, until `steady` returns true. False when the position was never reached.
bool RunInPosition(Position position, const std::function<bool()> &steady);

// A texture the program drew with and the file it was loaded from.
struct TextureFile {
    HTEXTURE texture;
    std::string file;
};

// One frame of a position as the engine was asked to draw it.
struct RecordedFrame {
    std::vector<hgeTesting::RecordedQuad> quads;
    std::vector<TextureFile> textures;
    HTARGET target = 0;  // the virtual screen
    int target_width = 0, target_height = 0;
    int window_width = 0, window_height = 0;
    hgeTesting::Pixels window;  // the picture the frame presented
};

// Runs the program into the position and records the quads of one steady frame.
RecordedFrame RecordFrame(Position position);

}  // namespace bench
