// The engine interface: window, frame loop, keyboard, clock, random numbers,
// files, log, textures, render targets and quad drawing, over SDL2; and one
// WebSocket connection, read in the frame like input.
//
// There is one engine object. hgeCreate() hands it out and adds a reference;
// every sprite and font holds one of its own, and the last Release() closes
// everything of SDL. All calls happen on the one thread that runs the game.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef uint32_t HTEXTURE;  // 0 is no texture
typedef uint32_t HTARGET;   // 0 is the window, where a target is expected

#define HGE_VERSION 0x170

// Frame and render functions: no arguments; a frame function that returns
// true ends the frame loop. Render functions return false.
typedef bool (*hgeCallback)();

// States set with System_SetState before System_Initiate. Frame and render
// functions may also be replaced from inside a frame function.
enum hgeFuncState {
    HGE_FRAMEFUNC = 1,
    HGE_RENDERFUNC = 2,
};

enum hgeIntState {
    HGE_SCREENWIDTH = 9,
    HGE_SCREENHEIGHT = 10,
    HGE_FPS = 23,  // HGEFPS_VSYNC: locked to the display's refresh
};

enum hgeBoolState {
    HGE_WINDOWED = 12,
    HGE_ZBUFFER = 13,
    HGE_USESOUND = 18,
    HGE_HIDEMOUSE = 25,
    HGE_SHOWSPLASH = 27,
    HGE_TEXTUREFILTER = 28,  // false: nearest-texel sampling
};

enum hgeStringState {
    HGE_TITLE = 40,  // window title; the executable's name when never set
};

#define HGEFPS_VSYNC (-1)
#define HGEFPS_UNLIMITED 0  // frames as fast as they come

// Blend modes of a quad. Bit 0: colour add instead of multiply; bit 1:
// alpha blending instead of additive alpha. No mode writes depth.
#define BLEND_COLORMUL 0
#define BLEND_COLORADD 1
#define BLEND_ALPHAADD 0
#define BLEND_ALPHABLEND 2
#define BLEND_DEFAULT (BLEND_COLORMUL | BLEND_ALPHABLEND)

// Key codes reported by Input_GetKey: Windows virtual-key codes.
#define HGEK_BACKSPACE 0x08
#define HGEK_TAB 0x09
#define HGEK_ENTER 0x0D
#define HGEK_SHIFT 0x10
#define HGEK_CTRL 0x11
#define HGEK_ALT 0x12
#define HGEK_PAUSE 0x13
#define HGEK_CAPSLOCK 0x14
#define HGEK_ESCAPE 0x1B
#define HGEK_SPACE 0x20
#define HGEK_PGUP 0x21
#define HGEK_PGDN 0x22
#define HGEK_END 0x23
#define HGEK_HOME 0x24
#define HGEK_LEFT 0x25
#define HGEK_UP 0x26
#define HGEK_RIGHT 0x27
#define HGEK_DOWN 0x28
#define HGEK_INSERT 0x2D
#define HGEK_DELETE 0x2E
#define HGEK_0 0x30  // digits 0x30 to 0x39
#define HGEK_A 0x41  // letters 0x41 to 0x5A, whatever the shift state
#define HGEK_C 0x43
#define HGEK_I 0x49
#define HGEK_K 0x4B
#define HGEK_N 0x4E
#define HGEK_NUMPAD0 0x60  // keypad digits 0x60 to 0x69
#define HGEK_F1 0x70       // F1 to F12: 0x70 to 0x7B

// Pointer buttons reported by Input_GetClick (the Windows codes of the mouse
// buttons): a finger's tap is the left one.
#define HGEK_LBUTTON 0x01
#define HGEK_RBUTTON 0x02

// States of the network connection (Net_GetState).
#define HGENET_CLOSED 0      // none, or closed cleanly (by either end)
#define HGENET_CONNECTING 1  // Net_Connect is under way
#define HGENET_OPEN 2        // messages go both ways
#define HGENET_FAILED 3      // it could not be made, or it was lost
// The longest text message, in bytes, that is sent or received; a longer
// one received fails the connection.
#define HGENET_MAX_MESSAGE 65536

// One corner of a quad: position on the current target in pixels, depth,
// ARGB colour, normalised texture coordinates.
struct hgeVertex {
    float x, y;
    float z;
    DWORD col;
    float tx, ty;
};

// Corners in the order top-left, top-right, bottom-right, bottom-left.
struct hgeQuad {
    hgeVertex v[4];
    HTEXTURE tex;
    int blend;
};

class HGE {
public:
    // Drops one reference; the last one shuts the engine down and frees it.
    void Release();

    // Opens the window and the renderer with the states set so far. On
    // failure the log says why and the result is false; System_Shutdown is
    // still safe to call. The window shows with the first window scene, at
    // HGE_SCREENWIDTH x HGE_SCREENHEIGHT, or on a screen too small for that
    // at the largest whole multiple of its picture that fits; it can be
    // resized, and F11 or Alt+Enter switch it to and from fullscreen
    // (HGE_WINDOWED false: fullscreen from the start).
    bool System_Initiate();
    // Closes window and renderer and frees every texture and target.
    void System_Shutdown();
    // Runs frames (frame function, then render function) until a frame
    // function returns true or the window is closed.
    bool System_Start();

    void System_SetState(hgeFuncState state, hgeCallback value);
    void System_SetState(hgeIntState state, int value);
    void System_SetState(hgeBoolState state, bool value);
    void System_SetState(hgeStringState state, const char *value);
    hgeCallback System_GetState(hgeFuncState state);
    int System_GetState(hgeIntState state);
    bool System_GetState(hgeBoolState state);
    const char *System_GetState(hgeStringState state);

    // One printf-style line to the platform's log: standard error on the
    // desktop, the console in a browser.
    void System_Log(const char *format, ...) __attribute__((format(printf, 2, 3)));

    // The whole file in a block that Resource_Free gives back, or null (and
    // one log line) when it cannot be read. Relative paths are tried from the
    // working folder first, then from the executable's folder, then from
    // ../share/torvek beside that folder (an installed tree).
    void *Resource_Load(const char *filename, DWORD *size = nullptr);
    void Resource_Free(void *res);

    // Both ends included; seeded from the clock at start.
    int Random_Int(int min, int max);

    // Seconds since System_Initiate, on a steady clock.
    float Timer_GetTime();
    // Frames shown during the last full second.
    int Timer_GetFPS();

    // The first key pressed in this frame, or 0; the same for every call
    // within one frame. Held keys do not repeat and keys are not queued; a
    // key already down when the window got the focus counts only once
    // pressed again. Gamepad buttons and pushes of the left stick report the
    // keys they stand for (the arrows, Space, Backspace, Enter, Escape, N);
    // F11 and Alt+Enter are the engine's own and report nothing.
    int Input_GetKey();

    // The pointer, beside the keys, for frame functions that also play by
    // mouse or by touch; read with the keys, once a frame. Its positions
    // are in pixels of the picture the window shows (the render target a
    // window scene shows whole, else the logical window), from its top
    // left: the window's point is mapped through the whole multiple and the
    // black bars of the layout, and through the output's own scale where it
    // has more pixels than the window (a HiDPI screen). The point given is
    // the middle of the window pixel under the pointer, so it lies inside
    // the picture pixel the player sees there.
    //
    // Where the mouse pointer is over the picture now: true and its point,
    // else false (no mouse, off the window, over the bars). A finger gives no
    // hover: it has a point only in the frame of its tap. In a frame with a
    // click, the point of the click.
    bool Input_GetMousePos(float *x, float *y);
    // The button pressed over the picture in this frame, HGEK_LBUTTON or
    // HGEK_RBUTTON (a tap is a left click), else 0; the same for every call
    // within one frame. Like keys, one a frame: the first press counts, the
    // others are dropped, not kept for later frames; a press on the bars is
    // none. A frame may have both a key and a click.
    int Input_GetClick();

    // Starts drawing into a render target, or into the window for 0.
    bool Gfx_BeginScene(HTARGET target = 0);
    // Ends the scene; the window's scene is then shown, laid out at the
    // largest whole multiple that fits the window, centred between black
    // bars: of the render target it shows when it is one target magnified
    // a whole number of times over the logical window, else of the logical
    // window. A scene that repeats the last one drawn into the same target
    // or window, from unchanged textures, is not drawn again: the pixels
    // would be the same.
    void Gfx_EndScene();
    void Gfx_Clear(DWORD color);
    // A later quad covers an earlier one whatever their depths.
    void Gfx_RenderQuad(const hgeQuad *quad);

    // A target of w×h pixels with an alpha channel; cleared, it is transparent.
    HTARGET Target_Create(int width, int height, bool zbuffer);
    void Target_Free(HTARGET target);  // ignores 0
    HTEXTURE Target_GetTexture(HTARGET target);

    // Loads a PNG file; with size not 0, `filename` points to `size` bytes of
    // image data in memory instead. 0 (and one log line) on failure.
    HTEXTURE Texture_Load(const char *filename, DWORD size = 0, bool mipmap = false);
    void Texture_Free(HTEXTURE tex);  // ignores 0
    // The size in pixels that texture coordinates 0 to 1 span; 0 for an
    // unknown handle.
    int Texture_GetWidth(HTEXTURE tex, bool original = false);
    int Texture_GetHeight(HTEXTURE tex, bool original = false);

    // One WebSocket connection at a time, for the frame function. No call
    // waits for the network: what it did since the last frame (messages
    // received, the connection opened, failed or closed) is taken in at the
    // start of each frame, before the frame function runs, so a frame sees
    // one unchanging state and set of messages. Only a platform without a
    // network (Net_GetError says so) refuses to connect.
    //
    // Starts connecting to a ws://host[:port][/path] or wss:// address,
    // closing the connection before, if any (its messages not yet taken are
    // dropped). False at once, in state HGENET_FAILED, for an address that
    // cannot be read. wss:// checks the server's certificate and name against
    // the system's trusted authorities and those of Net_SetCertificates.
    bool Net_Connect(const char *url);
    // Queues one text message (UTF-8, at most HGENET_MAX_MESSAGE bytes), sent
    // in order once the connection is open. Dropped, with a log line, when
    // there is no connection connecting or open.
    void Net_Send(const char *text);
    // The next text message received, in order, or null when none is
    // waiting; the text stays valid until the next Net_Receive or Net_Connect.
    // Messages taken in before a close or a failure can still be read after it.
    const char *Net_Receive();
    // HGENET_CLOSED, HGENET_CONNECTING, HGENET_OPEN or HGENET_FAILED.
    int Net_GetState();
    // After a failure or a close, a few words saying why, for the player
    // (also written to the log); "" while connecting or open.
    const char *Net_GetError();
    // Sends what is queued, if the connection is open, and closes cleanly;
    // the close itself goes on in the background over the next frames
    // (bounded). The state is HGENET_CLOSED at once.
    // System_Shutdown does the same, waiting for the close a short while.
    void Net_Close();
    // A PEM file of certificate authorities that wss:// trusts besides the
    // system's (a private relay's), for the connections made from now on;
    // null or "" forgets it. False, with a log line, when the file cannot be
    // read or this platform trusts only its own store.
    bool Net_SetCertificates(const char *file);

private:
    HGE() = default;
    HGE(const HGE &) = delete;
    HGE &operator=(const HGE &) = delete;
    friend HGE *hgeCreate(int version);
};

// Returns the one engine object and adds a reference to it.
HGE *hgeCreate(int version);
