// The baseline of the frame benchmarks: a frame written directly against SDL
// that draws the quads the program drew in one frame, into a target of the
// same size and then onto a window of the same size, with the renderer
// settings the engine uses. Everything that can be worked out before the
// frame (source and destination rectangles, blend modes, textures) is.
#pragma once

#include <SDL.h>

#include <map>
#include <vector>

#include "positions.h"

namespace bench {

// How the finished virtual screen reaches the window.
enum class WindowBlit {
    Plain,    // stretched straight from the target texture
    Staging,  // copied into a texture of the window's format first, as the engine does
};

class BareSdlFrame {
public:
    // Opens SDL (the dummy video driver), loads the recorded frame's
    // textures from their files and prepares every draw call.
    BareSdlFrame(const RecordedFrame &frame, WindowBlit blit);
    ~BareSdlFrame();
    BareSdlFrame(const BareSdlFrame &) = delete;
    BareSdlFrame &operator=(const BareSdlFrame &) = delete;

    bool Ready() const { return ready; }
    // One frame: events, the virtual screen, the window, present.
    void Draw();
    // The frame's window as it would be presented.
    hgeTesting::Pixels DrawAndRead();
    // Draw calls made per frame.
    int Calls() const { return static_cast<int>(target_calls.size() + window_calls.size()); }

private:
    struct Texture {
        SDL_Texture *texture = nullptr;
        int width = 0, height = 0;
        bool opaque = false;
    };
    // One quad as SDL draws it.
    struct Call {
        SDL_Texture *texture = nullptr;
        bool geometry = false;
        SDL_Rect source{};
        SDL_FRect target{};
        SDL_RendererFlip flip = SDL_FLIP_NONE;
        SDL_Color modulation{255, 255, 255, 255};
        SDL_BlendMode blend = SDL_BLENDMODE_BLEND;
        SDL_Vertex vertices[4]{};
    };

    bool Open(const RecordedFrame &frame);
    bool LoadTextures(const RecordedFrame &frame);
    Call Prepare(const hgeQuad &quad, bool onto_window) const;
    void Issue(const Call &call);
    void ShowTarget(const Call &call);
    void DrawScenes();

    WindowBlit blit;
    bool ready = false;
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *target = nullptr;
    SDL_Texture *staging = nullptr;
    HTARGET target_handle = 0;
    int target_width = 0, target_height = 0;
    std::map<HTEXTURE, Texture> textures;
    std::vector<Call> target_calls;
    std::vector<Call> window_calls;
};

}  // namespace bench
