// The window on the screen: opened at a size that fits the screen,
// resizable, switched to and from fullscreen on F11 or Alt+Enter, and its
// scene laid out on whatever it measures at the largest whole multiple of
// the picture that fits, centred between black bars (hge_layout.h).
//
// A window scene that is one render target magnified a whole number of
// times over the whole logical window (the game's virtual screen) is drawn
// as that target straight at its final size, in one pass. Any other window
// scene is laid out as the logical window at a whole multiple.
//
// Where the renderer keeps the window's pixels from one present to the next
// (SDL's software renderer draws into the window's own framebuffer), the
// engine remembers the target's pixels as shown and redraws only the
// rectangle where they changed: a message rising over a match costs a strip
// of the screen, not a whole 4K stretch. Anything that may have spoilt the
// window (a platform window event, a new size, textures or sampling changed)
// draws it whole again.
#include "hge_internal.h"
#include "hge_layout.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------- sizes

PictureSize OutputSize()
{
    int width = 0, height = 0;
    if (!engine.video.renderer || SDL_GetRendererOutputSize(engine.video.renderer, &width, &height) != 0)
        return {};
    return {width, height};
}

static PictureSize LogicalSize()
{
    return {engine.settings.screen_width, engine.settings.screen_height};
}

// ---------------------------------------------------------------- the picture

namespace {

// The render target a window scene shows whole, and the quad that shows it.
struct Picture {
    HTARGET handle = 0;
    const TextureEntry *target = nullptr;
    const hgeQuad *quad = nullptr;
};

}  // namespace

// Clears, then one quad of one colour that spans a whole render target,
// unmirrored, over the whole logical window, magnified the same whole number
// of times across and down. Anything else is not a picture of one target.
static Picture FindPicture(const std::vector<DrawStep> &steps)
{
    size_t first_quad = 0;
    while (first_quad < steps.size() && steps[first_quad].clear)
        ++first_quad;
    if (first_quad + 1 != steps.size())
        return {};
    const hgeQuad &quad = steps[first_quad].quad;
    const TextureEntry *target = quad.tex ? FindTexture(quad.tex) : nullptr;
    if (!target || !target->target || target->width <= 0 || target->height <= 0)
        return {};
    const PictureSize logical = LogicalSize();
    if (logical.width % target->width != 0 || logical.height % target->height != 0 ||
        logical.width / target->width != logical.height / target->height)
        return {};
    const float w = static_cast<float>(logical.width), h = static_cast<float>(logical.height);
    const hgeVertex expected[4] = {
        {0, 0, 0, 0, 0, 0}, {w, 0, 0, 0, 1, 0}, {w, h, 0, 0, 1, 1}, {0, h, 0, 0, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        const hgeVertex &v = quad.v[i];
        if (v.x != expected[i].x || v.y != expected[i].y || v.tx != expected[i].tx ||
            v.ty != expected[i].ty || v.col != quad.v[0].col)
            return {};
    }
    return {quad.tex, target, &quad};
}

// The size at 1x of the picture a window scene shows: the target it shows
// whole, else the logical window (also when there is no scene yet).
PictureSize PictureBase(const std::vector<DrawStep> *scene)
{
    if (scene) {
        if (const Picture picture = FindPicture(*scene); picture.target)
            return {picture.target->width, picture.target->height};
    }
    return LogicalSize();
}

bool WindowToPicture(int x, int y, float *px, float *py)
{
    if (!engine.video.window)
        return false;
    PictureSize window;
    SDL_GetWindowSize(engine.video.window, &window.width, &window.height);
    const std::vector<DrawStep> *shown = engine.window.last_ended ? &engine.window.scenes.last : nullptr;
    return PicturePoint(PictureBase(shown), window, OutputSize(), x, y, px, py);
}

// Black where the picture does not reach.
static void FillBars(const PictureLayout &layout, PictureSize output)
{
    const int right = layout.left + layout.width, bottom = layout.top + layout.height;
    const SDL_Rect bars[4] = {
        {0, 0, output.width, layout.top},
        {0, bottom, output.width, output.height - bottom},
        {0, layout.top, layout.left, layout.height},
        {right, layout.top, output.width - right, layout.height},
    };
    SDL_Rect filled[4];
    int count = 0;
    for (const SDL_Rect &bar : bars) {
        if (bar.w > 0 && bar.h > 0)
            filled[count++] = bar;
    }
    if (count == 0)
        return;
    SDL_SetRenderDrawBlendMode(engine.video.renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(engine.video.renderer, 0, 0, 0, 255);
    SDL_RenderFillRects(engine.video.renderer, filled, count);
}

// The smallest rectangle holding every pixel that differs; empty when none does.
static SDL_Rect ChangedArea(const std::vector<uint32_t> &before, const std::vector<uint32_t> &now,
                            int width, int height)
{
    const size_t row_bytes = static_cast<size_t>(width) * sizeof(uint32_t);
    auto row = [width](const std::vector<uint32_t> &pixels, int y) {
        return pixels.data() + static_cast<size_t>(y) * width;
    };
    int top = 0;
    while (top < height && std::memcmp(row(before, top), row(now, top), row_bytes) == 0)
        ++top;
    if (top == height)
        return {0, 0, 0, 0};
    int bottom = height - 1;
    while (std::memcmp(row(before, bottom), row(now, bottom), row_bytes) == 0)
        --bottom;
    int left = width, right = -1;
    for (int y = top; y <= bottom; ++y) {
        const uint32_t *a = row(before, y), *b = row(now, y);
        for (int x = 0; x < left; ++x) {
            if (a[x] != b[x]) {
                left = x;
                break;
            }
        }
        for (int x = width - 1; x > right; --x) {
            if (a[x] != b[x]) {
                right = x;
                break;
            }
        }
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

// The part `area` of the picture's target, drawn where it goes on the output.
static void DrawPicturePart(const Picture &picture, const PictureLayout &layout, const SDL_Rect &area)
{
    const float across = static_cast<float>(layout.width) / static_cast<float>(picture.target->width);
    const float down = static_cast<float>(layout.height) / static_cast<float>(picture.target->height);
    const float x0 = static_cast<float>(layout.left) + static_cast<float>(area.x) * across;
    const float y0 = static_cast<float>(layout.top) + static_cast<float>(area.y) * down;
    const float x1 = static_cast<float>(layout.left) + static_cast<float>(area.x + area.w) * across;
    const float y1 = static_cast<float>(layout.top) + static_cast<float>(area.y + area.h) * down;
    const float u0 = static_cast<float>(area.x) / static_cast<float>(picture.target->width);
    const float v0 = static_cast<float>(area.y) / static_cast<float>(picture.target->height);
    const float u1 = static_cast<float>(area.x + area.w) / static_cast<float>(picture.target->width);
    const float v1 = static_cast<float>(area.y + area.h) / static_cast<float>(picture.target->height);
    hgeQuad part = *picture.quad;
    part.v[0].x = part.v[3].x = x0;
    part.v[1].x = part.v[2].x = x1;
    part.v[0].y = part.v[1].y = y0;
    part.v[2].y = part.v[3].y = y1;
    part.v[0].tx = part.v[3].tx = u0;
    part.v[1].tx = part.v[2].tx = u1;
    part.v[0].ty = part.v[1].ty = v0;
    part.v[2].ty = part.v[3].ty = v1;
    DrawQuad(part);
}

static void DrawPicture(const Picture &picture, PictureSize output, bool may_reuse)
{
    EngineState::Window::Output &shown = engine.window.output;
    const TextureEntry &target = *picture.target;
    const PictureLayout layout = FitPicture({target.width, target.height}, output);
    // Only a framebuffer that outlives its presents can be drawn in part;
    // a shrunk picture is always drawn whole.
    bool tracked = engine.video.software && !Says(platform->RedrawsEverything) && layout.multiple > 0;
    // The output holds this target already, laid out the same way (a
    // target's size never changes) and shown alike.
    const bool reuse = tracked && may_reuse && shown.valid && shown.target == picture.handle &&
                       shown.output == output && shown.color == picture.quad->v[0].col &&
                       shown.blend == picture.quad->blend && shown.changes == engine.textures.changes;
    SDL_Rect area{0, 0, target.width, target.height};
    if (tracked) {
        tracked = ReadPixels(target.texture, target.width, target.height, shown.fresh);
        if (tracked && reuse)
            area = ChangedArea(shown.pixels, shown.fresh, target.width, target.height);
        shown.pixels.swap(shown.fresh);
    }
    if (!tracked || !reuse)
        FillBars(layout, output);
    if (area.w > 0 && layout.width > 0)
        DrawPicturePart(picture, layout, area);
    shown.valid = tracked;
    shown.target = picture.handle;
    shown.output = output;
    shown.color = picture.quad->v[0].col;
    shown.blend = picture.quad->blend;
    shown.changes = engine.textures.changes;
}

// Any other window scene: the logical window at a whole multiple, its
// drawing kept inside it.
static void DrawLaidOut(const std::vector<DrawStep> &steps, PictureSize output)
{
    engine.window.output.valid = false;
    const PictureSize logical = LogicalSize();
    const PictureLayout layout = FitPicture(logical, output);
    FillBars(layout, output);
    if (layout.width <= 0 || layout.height <= 0)
        return;
    SDL_Renderer *renderer = engine.video.renderer;
    const SDL_Rect inside{layout.left, layout.top, layout.width, layout.height};
    SDL_RenderSetClipRect(renderer, &inside);
    const float scale = static_cast<float>(layout.width) / static_cast<float>(logical.width);
    const float left = static_cast<float>(layout.left), top = static_cast<float>(layout.top);
    for (const DrawStep &step : steps) {
        if (step.clear) {
            // A clear fills the logical window, not the bars.
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
            SetDrawColor(step.color);
            SDL_RenderFillRect(renderer, &inside);
            continue;
        }
        hgeQuad placed = step.quad;
        for (hgeVertex &v : placed.v) {
            v.x = left + v.x * scale;
            v.y = top + v.y * scale;
        }
        DrawQuad(placed);
    }
    SDL_RenderSetClipRect(renderer, nullptr);
}

void DrawWindowScene(const std::vector<DrawStep> &steps, bool may_reuse)
{
    const PictureSize output = OutputSize();
    const SDL_Rect previous_area = engine.scene.area;
    const HTARGET previous_target = engine.scene.target;
    engine.scene.area = {0, 0, output.width, output.height};
    engine.scene.target = 0;
    const Picture picture = FindPicture(steps);
    if (picture.target)
        DrawPicture(picture, output, may_reuse);
    else
        DrawLaidOut(steps, output);
    engine.scene.area = previous_area;
    engine.scene.target = previous_target;
}

// ---------------------------------------------------------------- opening and showing

bool OpenWindow(HGE *hge)
{
    // Hidden at first: the picture's size at 1x is known only from the first
    // window scene, and on a screen too small for the logical size the
    // window opens at the largest whole multiple of that which fits. The
    // first window scene shows it (ShowWindowAtStart); until then nothing
    // could be seen in it anyway.
    Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN;
    if (!engine.settings.windowed)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    engine.video.window = SDL_CreateWindow(hge->System_GetState(HGE_TITLE), SDL_WINDOWPOS_CENTERED,
                                           SDL_WINDOWPOS_CENTERED, engine.settings.screen_width,
                                           engine.settings.screen_height, flags);
    if (!engine.video.window) {
        hge->System_Log("Can't open a %dx%d window: %s", engine.settings.screen_width,
                        engine.settings.screen_height, SDL_GetError());
        return false;
    }
    return true;
}

void ShowWindowAtStart(const std::vector<DrawStep> *first_scene)
{
    if (engine.video.shown || !engine.video.window)
        return;
    engine.video.shown = true;
    SDL_Window *window = engine.video.window;
    const PictureSize designed = LogicalSize();
    const PictureSize base = PictureBase(first_scene);
    const int display = std::max(SDL_GetWindowDisplayIndex(window), 0);
    const PictureSize usable = platform->UsableArea(display);
    const PictureSize size = StartWindowSize(designed, base, usable);
    // In fullscreen this is the size the window comes back to.
    SDL_SetWindowSize(window, size.width, size.height);
    if (usable.width <= 0 || (base.width <= usable.width && base.height <= usable.height))
        SDL_SetWindowMinimumSize(window, base.width, base.height);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                          SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    SDL_ShowWindow(window);
    // The window events SDL queued for these calls ask for nothing that the
    // present of this very frame does not do; what the screen reports later
    // (exposed, resized by a window manager) still comes.
    SDL_FlushEvent(SDL_WINDOWEVENT);
    engine.window.force_present = true;
    NoteKeysHeld();
}

// ---------------------------------------------------------------- fullscreen

void SetFullscreen(bool on)
{
    engine.settings.windowed = !on;
    SDL_Window *window = engine.video.window;
    if (!window)
        return;
    const Uint32 flags = SDL_GetWindowFlags(window);
    if (((flags & SDL_WINDOW_FULLSCREEN) != 0) == on)
        return;
    // Back from fullscreen, a window that was neither maximised nor hidden
    // takes its size again, where the platform does not see to it.
    if (on && !(flags & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_HIDDEN)))
        SDL_GetWindowSize(window, &engine.video.windowed_size.width, &engine.video.windowed_size.height);
    else if (on)
        engine.video.windowed_size = {};
    // The desktop's own mode: no switch of the display, the picture is laid
    // out on whatever size the screen has.
    SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    const PictureSize back = engine.video.windowed_size;
    if (!on && back.width > 0) {
        PictureSize now;
        SDL_GetWindowSize(window, &now.width, &now.height);
        if (!(now == back))
            SDL_SetWindowSize(window, back.width, back.height);
    }
    engine.window.force_present = true;
}

void ToggleFullscreen()
{
    if (engine.video.window)
        SetFullscreen((SDL_GetWindowFlags(engine.video.window) & SDL_WINDOW_FULLSCREEN) == 0);
}
