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

// One step of a scene as it reaches the pixels: a clear (quad unused), or a
// quad with its corners already on whole pixels and, when it is drawn from a
// target, the number of the picture that target held. Two scenes of equal
// steps on the same textures draw the same pixels.
struct DrawStep {
    bool clear;
    DWORD color;
    hgeQuad quad;
    uint64_t source_picture;
};

// The steps of the last scene drawn into one place (a target or the window),
// and room for the next one: the two trade places when a scene differs, so
// each place keeps the memory it has grown.
struct SceneRecord {
    std::vector<DrawStep> last;
    std::vector<DrawStep> next;
};

// One SDL texture behind a texture handle. A render target's texture carries
// the target's own handle and is freed only with the target.
struct TextureEntry {
    SDL_Texture *texture = nullptr;
    int width = 0;
    int height = 0;
    bool target = false;
    bool opaque = false;  // every texel has alpha 255
    // A target's picture: a new number whenever what it holds may have
    // changed, and the scene that drew it, to compare the next one with.
    uint64_t picture = 0;
    SceneRecord scenes;
    uint64_t last_scene_resources = 0;
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
    // The entry of the handle looked up last: quads come in runs of one texture.
    uint32_t found_handle = 0;
    TextureEntry *found_entry = nullptr;
    // Counts every change of textures, targets or how they are sampled: a
    // scene drawn before such a change is never taken as equal to one after.
    uint64_t resources = 0;
    uint64_t next_picture = 1;
    // Window-format copy of a target before it is enlarged (software renderer).
    SDL_Texture *staging = nullptr;
    int staging_width = 0;
    int staging_height = 0;
    bool staging_tried = false;
    uint32_t next_handle = 1;

    bool in_scene = false;
    HTARGET scene_target = 0;
    SDL_Rect scene_area{};  // what the scene draws into, from (0, 0)
    bool scene_dry = false;  // headless window scene nobody reads: only noted down
    // The scene being drawn is compared step by step with the last one drawn
    // into the same place as it comes; only from its first difference on are
    // its steps kept (in the record's `next`), so a scene that repeats copies
    // nothing.
    SceneRecord *scene_record = nullptr;
    size_t scene_matched = 0;   // steps equal to the last scene's first ones
    bool scene_differs = false;
    bool scene_held_back = false;  // a target scene not drawn while it repeats
    DrawStep step_to_compare{};
    // The window's scene is drawn when it ends, and only when it differs
    // from the one the window shows already.
    SceneRecord window_scenes;  // `last`: the last window scene ended
    bool window_last_ended = false;
    bool window_last_shown = false;     // drawn and presented, not only noted down
    uint64_t window_last_resources = 0;
    bool force_present = false;         // the platform asked for the window to be redrawn
    bool frame_presented = false;       // this frame presented the window

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
    bool redraw_every_frame = false;
    hgeTesting::Pixels window;
    std::vector<std::string> log_lines;
    int frame_count = 0;
    int presents = 0;
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
// Called before anything changes textures, targets or how they are sampled:
// the steps of a target scene held back so far are drawn as they were given.
void NoteResourcesChanged();
// Called by the seam before it reads a target mid-scene.
void DrawHeldBackSteps();
// Called by the seam and by the window's Gfx_EndScene.
hgeTesting::Pixels ReadRenderTarget(SDL_Texture *texture, int width, int height);
// Called by the seam's ReadWindow: draws the last window scene ended (also
// one only noted down headless) and reads it back; empty pixels when there is
// none.
hgeTesting::Pixels DrawDryWindow();
