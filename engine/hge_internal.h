// The engine's own state, shared by its source files (hge.cpp, hge_gfx.cpp,
// hge_testing.cpp). Nothing outside engine/ includes this header.
#pragma once

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "hge.h"
#include "hge_testing.h"

// One SDL texture behind a texture handle. A render target's texture carries
// the target's own handle and is freed only with the target.
struct TextureEntry {
    SDL_Texture *texture = nullptr;
    int width = 0;
    int height = 0;
    bool target = false;
    bool opaque = false;  // every texel has alpha 255
};

// A clear (quad unused) or a quad of a headless window scene that was not drawn.
struct WindowStep {
    bool clear;
    DWORD color;
    hgeQuad quad;
};

struct EngineState {
    HGE *object = nullptr;
    int references = 0;

    hgeCallback frame_func = nullptr;
    hgeCallback render_func = nullptr;
    int screen_width = 800;
    int screen_height = 600;
    int fps = HGEFPS_VSYNC;
    bool windowed = true;
    bool zbuffer = false;
    bool use_sound = false;
    bool hide_mouse = false;
    bool show_splash = false;
    bool texture_filter = true;
    bool title_set = false;
    std::string title;

    bool sdl_started = false;
    bool image_started = false;
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    bool initiated = false;
    bool vsync = false;  // the renderer was asked to wait for the display

    std::map<uint32_t, TextureEntry> textures;
    // Window-format copy of a target before it is enlarged (software renderer).
    SDL_Texture *staging = nullptr;
    int staging_width = 0;
    int staging_height = 0;
    bool staging_tried = false;
    uint32_t next_handle = 1;

    bool in_scene = false;
    HTARGET scene_target = 0;
    bool scene_dry = false;  // headless window scene nobody reads: only noted down
    std::vector<WindowStep> dry_scene;       // the one being noted
    std::vector<WindowStep> dry_scene_last;  // the last one ended, drawn on demand
    bool dry_scene_ended = false;

    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    int fps_frames = 0;
    double fps_since = 0.0;
    int fps_last = 0;

    bool running = false;
    bool quit = false;
    int frame_key = 0;

    std::mt19937 random;
};

extern EngineState engine;

// What the testing seam has chosen; the engine consults it at every point
// where a test may stand in for the platform.
struct SeamState {
    bool headless = false;
    bool virtual_clock = false;
    float clock_step = 1.0f / 60.0f;
    float now = 0.0f;
    bool seeded = false;
    uint32_t seed = 0;
    bool scripted_keys = false;
    std::deque<int> keys;
    std::function<bool(int)> frame_hook;
    bool fail_next_initiate = false;
    bool record_quads = false;
    std::vector<hgeTesting::RecordedQuad> quads;
    bool capture_window = false;
    bool draw_window = false;
    hgeTesting::Pixels window;
    std::vector<std::string> log_lines;
    int frame_count = 0;
};

extern SeamState seam;

// Windows virtual-key code of an SDL key, or 0 for a key the engine does not report.
int TranslateKey(SDL_Keycode key);

// Engine time in seconds: the virtual clock under the seam, else the steady clock.
double EngineSeconds();

// Reads a whole file for Texture_Load, resolving relative paths as
// Resource_Load does, but leaves the log line to the caller. The block ends
// with an extra zero byte; free it with std::free.
char *ReadEngineFile(const char *filename, DWORD *size, std::string *why);

// Called by System_Shutdown before the renderer goes.
void FreeAllTextures();
// Called by the seam and by the window's Gfx_EndScene.
hgeTesting::Pixels ReadRenderTarget(SDL_Texture *texture, int width, int height);
// Called by the seam's ReadWindow: draws the last headless window scene that
// was only noted down and reads it back; empty pixels when there is none.
hgeTesting::Pixels DrawDryWindow();
