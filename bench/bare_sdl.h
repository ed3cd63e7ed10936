// The baseline of the frame benchmarks: a frame written directly against SDL
// that draws the quads the program drew in one frame, into a target of the
// same size and then onto a window of the same size, at the largest whole
// multiple that fits, centred, with the renderer settings the engine uses.
// Everything that can be worked out before the frame (source and
// destination rectangles, blend modes, textures) is.
// SDL stays inside bare_sdl.cpp: the rest of the benchmarks see the engine only.
#pragma once

#include <memory>

#include "positions.h"

namespace bench {

// How the finished virtual screen reaches the window.
enum class WindowBlit {
    Plain,    // the window cleared, the target stretched straight from its texture
    Staging,  // black bars, the target copied into a texture of the window's
              // format first and stretched from there, as the engine does
};

class BareSdlFrame {
public:
    // Opens SDL (the dummy video driver), loads the recorded frame's
    // textures from their files and prepares every draw call.
    BareSdlFrame(const RecordedFrame &frame, WindowBlit blit);
    ~BareSdlFrame();
    BareSdlFrame(const BareSdlFrame &) = delete;
    BareSdlFrame &operator=(const BareSdlFrame &) = delete;

    bool Ready() const;
    // One frame: events, the virtual screen, the window, present.
    void Draw();
    // The frame's window as it would be presented.
    hgeTesting::Pixels DrawAndRead();
    // Draw calls made per frame.
    int Calls() const;

private:
    // The window, renderer, textures and prepared calls.
    struct Sdl;
    std::unique_ptr<Sdl> sdl;
};

}  // namespace bench
