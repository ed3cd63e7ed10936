// Scenes, and how a scene that repeats the last one is recognised and not
// drawn again.
//
// Every Gfx_Clear and Gfx_RenderQuad of a scene becomes a step: a clear with
// its colour, or the quad with its corners already on whole pixels and, when
// it draws from a render target, the number of the picture that target holds.
// Each place scenes are drawn into (every target, and the window) keeps the
// steps of the last scene drawn there, and a new scene is compared with them
// step by step as it comes; nothing is copied while they match. From the first
// step that differs on, the steps are kept.
//
// A target scene is held back, not drawn, while it matches, when the target
// still holds the picture of its last scene; at the first difference what was
// held back is drawn, and every later step is drawn as it comes. A scene held
// back to its end, with the very steps of the last one, leaves the target's
// picture and its number as they were.
// The window's scene is drawn when it ends, laid out on the window's output
// (hge_window.cpp), and presented, unless the window already shows the very
// same steps.
//
// Only a last scene that started with a clear makes a picture of its steps
// alone (any other blends over what was there). Besides a step that differs,
// these always force a redraw:
//  - loading or freeing a texture, creating or freeing a target, switching
//    texture filtering, or the platform losing its render targets: each
//    counts as a change, and a scene recorded before a change never equals
//    one after it (steps held back so far are drawn first, with the textures
//    they were given with);
//  - a target drawn anew gets a new picture number, so any scene that draws
//    from it differs from the one before;
//  - for the window: the platform saying it may have lost its picture
//    (uncovered, restored, resized, moved to another screen, switched to or
//    from fullscreen), an output of another size than at the last present,
//    and a last scene that was only noted down headless, never shown;
//  - a platform that redraws everything (the testing seam's RedrawEveryFrame).
// Reading a target back mid-scene draws what was held back first, so it reads
// as drawn at every step.
#include "hge_internal.h"

#include <cstring>

// ---------------------------------------------------------------- steps

static void DrawOneStep(const DrawStep &step)
{
    if (step.clear)
        DrawClear(step.color);
    else
        DrawQuad(step.quad);
}

static void DrawSteps(const std::vector<DrawStep> &steps)
{
    for (const DrawStep &step : steps)
        DrawOneStep(step);
}

static_assert(sizeof(hgeQuad) == 4 * sizeof(hgeVertex) + sizeof(HTEXTURE) + sizeof(int),
              "quads are compared byte for byte");

static bool SameStep(const DrawStep &a, const DrawStep &b)
{
    return a.clear == b.clear && a.color == b.color && a.source_picture == b.source_picture &&
           std::memcmp(&a.quad, &b.quad, sizeof(hgeQuad)) == 0;
}

// Only a scene that starts by clearing makes a picture of its steps alone;
// any other is drawn over whatever was there.
static bool StartsWithClear(const std::vector<DrawStep> &steps)
{
    return !steps.empty() && steps.front().clear;
}

// A target still holds the picture its last scene drew: drawing a scene with
// the same steps again would change no pixel.
static bool HoldsPictureOfLastScene(const TextureEntry &target)
{
    return StartsWithClear(target.scenes.last) &&
           target.changes_at_last_scene == engine.textures.changes && !Says(platform->RedrawsEverything);
}

// From the first step that differs from the last scene on, a scene's steps
// are kept; a target scene that was held back draws what it held back then.
static void StopRepeating()
{
    const std::vector<DrawStep> &last = engine.scene.record->last;
    std::vector<DrawStep> &steps = engine.scene.record->next;
    engine.scene.differs = true;
    steps.assign(last.begin(), last.begin() + static_cast<ptrdiff_t>(engine.scene.matched));
    if (engine.scene.held_back) {
        engine.scene.held_back = false;
        DrawSteps(steps);
    }
}

// Where the scene's next step is to be written: straight into the kept steps
// once the scene differs, else aside, to be compared.
static DrawStep &NewStep()
{
    if (engine.scene.differs)
        return engine.scene.record->next.emplace_back();
    return engine.scene.step_to_compare;
}

// Takes the step written where NewStep said.
static void AddStep(DrawStep &step)
{
    if (!engine.scene.differs) {
        const std::vector<DrawStep> &last = engine.scene.record->last;
        if (engine.scene.matched < last.size() && SameStep(last[engine.scene.matched], step)) {
            ++engine.scene.matched;
            return;
        }
        StopRepeating();
        engine.scene.record->next.push_back(step);
    }
    if (engine.scene.target)
        DrawOneStep(step);
}

void DrawHeldBackSteps()
{
    if (engine.scene.active && engine.scene.held_back)
        StopRepeating();
}

void NoteResourcesChanged()
{
    // What is held back is drawn with the textures and sampling it was given with.
    DrawHeldBackSteps();
    ++engine.textures.changes;
}

// ---------------------------------------------------------------- ends of scenes

// The scene just ended has the very steps of the last one.
static bool SceneRepeats()
{
    return !engine.scene.differs && engine.scene.matched == engine.scene.record->last.size();
}

// The steps of the scene just ended.
static const std::vector<DrawStep> &SceneSteps()
{
    return SceneRepeats() ? engine.scene.record->last : engine.scene.record->next;
}

static void KeepSceneSteps()
{
    if (!SceneRepeats())
        engine.scene.record->last.swap(engine.scene.record->next);
}

// A target drawn again with the same steps holds the same picture, which
// was not even drawn again; any other scene gives it a new picture number.
static void NoteTargetPicture(TextureEntry &target)
{
    if (SceneRepeats() && engine.scene.held_back)
        return;
    target.picture = engine.textures.next_picture++;
    KeepSceneSteps();
    target.changes_at_last_scene = engine.textures.changes;
}

static void EndTargetScene()
{
    // A scene that ended as a shorter copy of the last one is a new picture.
    if (engine.scene.held_back && !SceneRepeats())
        StopRepeating();
    if (TextureEntry *target = FindTexture(engine.scene.target))
        NoteTargetPicture(*target);
    SDL_SetRenderTarget(engine.video.renderer, nullptr);
}

static void NoteWindowScene(bool shown)
{
    KeepSceneSteps();
    engine.window.last_ended = true;
    engine.window.last_shown = shown;
    engine.window.changes_at_last = engine.textures.changes;
}

// A menu at rest draws the same window scene from the same target picture
// frame after frame: the window shows it already.
static bool WindowShowsScene()
{
    return SceneRepeats() && engine.window.last_shown && !engine.window.force_present &&
           !Says(platform->RedrawsEverything) && engine.window.changes_at_last == engine.textures.changes &&
           StartsWithClear(engine.window.scenes.last) &&
           OutputSize() == engine.window.presented_output;
}

static void ShowWindowScene()
{
    // After anything that may have spoilt the window, it is drawn whole.
    DrawWindowScene(SceneSteps(), !engine.window.force_present);
    // Read back before presenting: afterwards the back buffer is undefined.
    if (platform->Presenting)
        platform->Presenting(PictureBase(&SceneSteps()));
    SDL_RenderPresent(engine.video.renderer);
    engine.loop.presented = true;
    engine.window.force_present = false;
    engine.window.presented_output = OutputSize();
    NoteWindowScene(true);
}

// ---------------------------------------------------------------- the interface

bool HGE::Gfx_BeginScene(HTARGET target)
{
    if (!engine.video.renderer) {
        System_Log("Gfx_BeginScene: the engine is not initiated");
        return false;
    }
    if (engine.scene.active) {
        System_Log("Gfx_BeginScene: a scene is already begun");
        return false;
    }
    TextureEntry *entry = nullptr;
    if (target) {
        entry = FindTexture(target);
        if (!entry || !entry->target) {
            System_Log("Gfx_BeginScene: no render target %u", target);
            return false;
        }
    }
    if (SDL_SetRenderTarget(engine.video.renderer, entry ? entry->texture : nullptr) != 0) {
        System_Log("Gfx_BeginScene: %s", SDL_GetError());
        return false;
    }
    engine.scene.active = true;
    engine.scene.target = target;
    SDL_RenderGetViewport(engine.video.renderer, &engine.scene.area);
    // Nobody can see a headless window unless a test reads it back.
    engine.scene.dry = !target && Says(platform->WindowUnseen);
    engine.scene.record = entry ? &entry->scenes : &engine.window.scenes;
    engine.scene.record->next.clear();
    engine.scene.matched = 0;
    // A target's drawing is held back while the scene repeats its last one,
    // and then not done at all; other target scenes are drawn as they come.
    // The window's scene is always drawn when it ends.
    engine.scene.held_back = entry && HoldsPictureOfLastScene(*entry);
    engine.scene.differs = entry && !engine.scene.held_back;
    return true;
}

void HGE::Gfx_EndScene()
{
    if (!engine.scene.active)
        return;
    if (engine.scene.target) {
        EndTargetScene();
        engine.scene.active = false;
        return;
    }
    engine.scene.active = false;
    // The first window scene tells the size the window opens with.
    ShowWindowAtStart(&SceneSteps());
    if (engine.scene.dry)
        NoteWindowScene(false);
    else if (!WindowShowsScene())
        ShowWindowScene();
    CountShownFrame();
}

void HGE::Gfx_Clear(DWORD color)
{
    if (!engine.scene.active)
        return;
    DrawStep &step = NewStep();
    step = {true, color, {}, 0};
    AddStep(step);
}

// A quad step: the quad as it reaches the pixels, every corner on a whole
// pixel, and the picture of the target it is drawn from.
static void SetQuadStep(DrawStep &step, const hgeQuad &quad)
{
    step.clear = false;
    step.color = 0;
    step.quad = quad;
    SnapCorners(quad.v, step.quad.v);
    const TextureEntry *texture = quad.tex ? FindTexture(quad.tex) : nullptr;
    step.source_picture = texture && texture->target ? texture->picture : 0;
}

// Every quad becomes a step of its scene, drawn as AddStep decides.
void HGE::Gfx_RenderQuad(const hgeQuad *quad)
{
    if (!quad)
        return;
    if (platform->QuadGiven)
        platform->QuadGiven(*quad, engine.scene.active ? engine.scene.target : 0);
    if (!engine.scene.active)
        return;
    DrawStep &step = NewStep();
    SetQuadStep(step, *quad);
    AddStep(step);
}

