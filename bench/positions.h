// The real program driven headless into the positions whose frames the
// benchmarks measure: the title screen, a match while a side chooses a piece
// to place and while it chooses a capture (nothing moving but the sun), a
// capture being played, and a match with an announcement rising over it
// (every frame new), in a window of the game's size or a larger one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hge.h"
#include "hge_testing.h"

namespace bench {

enum class Position { Title, Placing, Fighting, Capture, Message };

const char *PositionName(Position position);

// The window's size in pixels: the game's own, or a larger screen's.
struct WindowSize {
    int width = 1024;
    int height = 768;
};

// "placing", or "message@1920x1080" in a window of another size than the game's.
std::string PositionName(Position position, WindowSize window);

// Runs WinMain headless from the title screen (virtual clock of 60 frames a
// second, a fixed seed, the window drawn every frame as a player's is) into
// the position, the window resized to `window` after the first frame. From
// then on `steady` is called after every frame; the program stays in the
// position, the same picture each frame but for the sun (and in Message a
// rising announcement, started again whenever it has stopped), until
// `steady` returns true. False when the position was never reached.
bool RunInPosition(Position position, const std::function<bool()> &steady, WindowSize window = {});

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
    int window_width = 0, window_height = 0;  // in pixels
    hgeTesting::Pixels window;  // the picture the frame presented
};

// Runs the program into the position and records the quads of one steady frame.
RecordedFrame RecordFrame(Position position, WindowSize window = {});

}  // namespace bench
