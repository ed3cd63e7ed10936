// The engine's own state and the calls its source files make to each other.
// Only the engine's sources include this header.
#pragma once

#include <SDL.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "hge.h"
#include "hge_layout.h"
#include "hge_platform.h"

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
    uint64_t changes_at_last_scene = 0;
};

struct EngineState {
    HGE *object = nullptr;
    int references = 0;

    // What System_SetState chose.
    struct Settings {
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
    } settings;

    // SDL and what System_Initiate opened with it.
    struct Video {
        bool sdl_started = false;
        bool image_started = false;
        SDL_Window *window = nullptr;
        SDL_Renderer *renderer = nullptr;
        bool initiated = false;
        bool vsync = false;  // the renderer was asked to wait for the display
        bool shown = false;  // the window is on screen (it opens hidden)
        PictureSize windowed_size;  // the window's size before fullscreen; 0x0: none to return to
        // The renderer is SDL's software one. It draws into the window's own
        // framebuffer, whose pixels outlive a present, so a picture that
        // changed in part may be redrawn in part (hge_window.cpp); and it
        // stretches fastest between surfaces of one format (hge_quad.cpp).
        bool software = false;
    } video;

    // Every texture and render target, by handle.
    struct Textures {
        std::map<uint32_t, TextureEntry> table;
        uint32_t next_handle = 1;
        // The entry of the handle looked up last: quads come in runs of one texture.
        uint32_t found_handle = 0;
        TextureEntry *found_entry = nullptr;
        // Counts every change of textures, targets or how they are sampled: a
        // scene drawn before such a change is never taken as equal to one after.
        uint64_t changes = 0;
        uint64_t next_picture = 1;
    } textures;

    // Window-format copy of a target before it is enlarged (software renderer).
    struct Staging {
        SDL_Texture *texture = nullptr;
        int width = 0;
        int height = 0;
        bool tried = false;
    } staging;

    // The scene being drawn, between Gfx_BeginScene and Gfx_EndScene.
    struct Scene {
        bool active = false;
        HTARGET target = 0;
        SDL_Rect area{};  // what the scene draws into, from (0, 0)
        bool dry = false;  // headless window scene nobody reads: only noted down
        // The scene is compared step by step with the last one drawn into the
        // same place as it comes; only from its first difference on are its
        // steps kept (in the record's `next`), so a scene that repeats copies
        // nothing.
        SceneRecord *record = nullptr;
        size_t matched = 0;  // steps equal to the last scene's first ones
        bool differs = false;
        bool held_back = false;  // a target scene not drawn while it repeats
        DrawStep step_to_compare{};
    } scene;

    // The window's scene is drawn when it ends, and only when it differs from
    // the one the window shows already.
    struct Window {
        SceneRecord scenes;  // `last`: the last window scene ended
        bool last_ended = false;
        bool last_shown = false;  // drawn and presented, not only noted down
        uint64_t changes_at_last = 0;
        bool force_present = false;  // the platform asked for the window to be redrawn
        PictureSize presented_output;  // the output's size at the last present

        // What the output holds, while it holds a picture of one target
        // that can be redrawn in part (hge_window.cpp).
        struct Output {
            bool valid = false;
            HTARGET target = 0;
            PictureSize output;
            DWORD color = 0;  // of the quad that showed the target
            int blend = 0;
            uint64_t changes = 0;
            std::vector<uint32_t> pixels;  // the target's pixels as shown
            std::vector<uint32_t> fresh;   // the target read back now, to compare with `pixels`
        } output;
    } window;

    // Keyboard and gamepads beyond the one key of the frame.
    struct Input {
        // Codes of keys already down when the frame loop started, the window
        // opened or it got the focus back: the platform reports them as
        // pressed then, but they count only once released and pressed again.
        std::array<bool, 256> held{};
        struct Pad {
            SDL_GameController *controller = nullptr;
            // Where the left stick is pushed on each axis: -1, 0 or 1.
            int stick_x = 0;
            int stick_y = 0;
        };
        std::map<SDL_JoystickID, Pad> pads;  // by SDL's instance id
        bool pads_started = false;
        // The mouse, in window coordinates, while it is over the window; a
        // finger's touches leave it off the window until the mouse moves.
        struct Mouse {
            bool over_window = false;
            int x = 0, y = 0;
        } mouse;
    } input;

    // The frame loop and the frame it runs.
    struct Loop {
        bool running = false;
        bool quit = false;
        int key = 0;             // what Input_GetKey reports this frame
        int click = 0;           // what Input_GetClick reports this frame
        float click_x = 0, click_y = 0;  // its point on the picture
        bool presented = false;  // this frame presented the window
        bool clock_read = false; // this frame read the clock (Timer_GetTime)
    } loop;

    // The clock, and the frame rate Timer_GetFPS reports.
    struct Timing {
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        int shown_frames = 0;
        double counting_since = 0.0;
        int fps = 0;
    } timing;

    std::mt19937 random;
};

extern EngineState engine;


// ---------------------------------------------------------------- hge_keys.cpp
// Windows virtual-key code of an SDL key, or 0 for a key the engine does not report.
int TranslateKey(SDL_Keycode key);
// F11, or Enter with Alt: the engine's own fullscreen switch, never the game's.
bool IsFullscreenKey(const SDL_Keysym &key);
// The key a gamepad button stands for, or 0.
int TranslatePadButton(int button);
// The arrow a push of the left stick stands for (axis: SDL's; direction -1
// or 1, right and down positive), or 0.
int TranslateStickPush(int axis, int direction);

// ---------------------------------------------------------------- hge_loop.cpp
// Engine time in seconds: the virtual clock under the seam, else the steady clock.
double EngineSeconds();
// Counts a window scene ended, for Timer_GetFPS.
void CountShownFrame();

// ---------------------------------------------------------------- hge_input.cpp
// Reads everything the platform queued since the last frame: the frame's key
// (only the first key or button pressed counts) and click, the mouse's
// moves, gamepads coming and going, the fullscreen switch, window events and
// quitting.
void ReadEvents();
// Notes the keys down now: they do not count as pressed until released.
void NoteKeysHeld();
// Starts SDL's gamepad support: pads already plugged in are reported as
// plugged in at the next ReadEvents. False (and one log line) when it cannot.
bool StartPads();
// Closes every pad; called by System_Shutdown before SDL goes.
void ClosePads();

// ---------------------------------------------------------------- hge_window.cpp
// Opens the window hidden, at the logical size, fullscreen unless windowed.
bool OpenWindow(HGE *hge);
// Shows the window once, at the size it opens with: the logical size when
// it fits the screen's usable area, else the largest whole multiple of the
// first scene's picture that fits. Called when the first window scene ends
// (null: no scene to learn the picture from).
void ShowWindowAtStart(const std::vector<DrawStep> *first_scene);
// The renderer's output in pixels (more than the window's size on a HiDPI screen).
PictureSize OutputSize();
// The size at 1x of the picture a window scene shows: its render target's,
// or the logical window's when it is no picture of one target (or null).
PictureSize PictureBase(const std::vector<DrawStep> *scene);
// Where a point of the window (the pointer's coordinates) falls on the
// picture the window shows now, laid out as its last scene was; false on
// the bars, off the window, or without one.
bool WindowToPicture(int x, int y, float *px, float *py);
// Draws a window scene laid out on the output; `may_reuse`: the output still
// holds the last picture drawn, which may be redrawn only where it changed.
void DrawWindowScene(const std::vector<DrawStep> &steps, bool may_reuse);
// Desktop fullscreen on or off (also before the window shows).
void SetFullscreen(bool on);
void ToggleFullscreen();

// ---------------------------------------------------------------- hge_files.cpp
// Reads a whole file for Texture_Load, resolving relative paths as
// Resource_Load does, but leaves the log line to the caller. The block ends
// with an extra zero byte; free it with std::free.
char *ReadEngineFile(const char *filename, DWORD *size, std::string *why);

// ---------------------------------------------------------------- hge_textures.cpp
// The entry of a texture or target handle, or null.
TextureEntry *FindTexture(uint32_t handle);
// Called by System_Shutdown before the renderer goes.
void FreeAllTextures();
// Reads a render target (null: the window's output) whole into `argb`, in
// ARGB8888 rows from the top, leaving the renderer drawing where it was.
// False when there is nothing to read or SDL cannot read it.
bool ReadPixels(SDL_Texture *texture, int width, int height, std::vector<uint32_t> &argb);

// ---------------------------------------------------------------- hge_scene.cpp
// Called before anything changes textures, targets or how they are sampled:
// the steps of a target scene held back so far are drawn as they were given.
void NoteResourcesChanged();
// Called by the seam before it reads a target mid-scene.
void DrawHeldBackSteps();

// ---------------------------------------------------------------- hge_quad.cpp
// `v` with every corner on a whole pixel: the form a quad is recorded and drawn in.
void SnapCorners(const hgeVertex (&v)[4], hgeVertex (&snapped)[4]);
// The colour SDL fills and clears with, from an ARGB colour.
void SetDrawColor(DWORD color);
// Fills the current render target with one colour.
void DrawClear(DWORD color);
// Draws a quad already on whole pixels into the current scene's area.
void DrawQuad(const hgeQuad &drawn);
// Lets the staging texture go (with the renderer, or to grow it).
void FreeStaging();

