// The engine object, its states, the log, random numbers, and the window's
// life from System_Initiate to System_Shutdown.
#include "hge_internal.h"
#include "hge_net.h"

#include <SDL_image.h>

#include <cstdarg>
#include <cstdio>

EngineState engine;

static void SeedRandom()
{
    engine.random.seed(platform->Seed());
}

HGE *hgeCreate(int version)
{
    if (version != HGE_VERSION)
        std::fprintf(stderr, "hgeCreate: interface version %#x asked, %#x given\n", version,
                     HGE_VERSION);
    if (!engine.object) {
        engine.object = new HGE();
        engine.timing.start = std::chrono::steady_clock::now();
        SeedRandom();
    }
    ++engine.references;
    return engine.object;
}

void HGE::Release()
{
    if (engine.references <= 0 || --engine.references > 0)
        return;
    System_Shutdown();
    delete engine.object;
    engine = EngineState();
}

// ---------------------------------------------------------------- the log

void HGE::System_Log(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);

    platform->Log(line);
}

// ---------------------------------------------------------------- random

int HGE::Random_Int(int min, int max)
{
    if (max < min)
        std::swap(min, max);
    uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(max) - min) + 1;
    // Draws beyond the last whole multiple of the span are thrown away so
    // that every value is equally likely.
    uint64_t range = uint64_t(1) << 32;
    uint64_t limit = range - range % span;
    uint64_t draw;
    do {
        draw = engine.random();
    } while (draw >= limit);
    return static_cast<int>(static_cast<int64_t>(min) + static_cast<int64_t>(draw % span));
}

// ---------------------------------------------------------------- states

void HGE::System_SetState(hgeFuncState state, hgeCallback value)
{
    switch (state) {
    case HGE_FRAMEFUNC: engine.settings.frame_func = value; break;
    case HGE_RENDERFUNC: engine.settings.render_func = value; break;
    }
}

void HGE::System_SetState(hgeIntState state, int value)
{
    // The window's size is fixed once it is open.
    switch (state) {
    case HGE_SCREENWIDTH: if (!engine.video.initiated) engine.settings.screen_width = value; break;
    case HGE_SCREENHEIGHT: if (!engine.video.initiated) engine.settings.screen_height = value; break;
    case HGE_FPS: engine.settings.fps = value; break;
    }
}

void HGE::System_SetState(hgeBoolState state, bool value)
{
    switch (state) {
    case HGE_WINDOWED:
        // Switched at once once the window is open, as F11 does.
        if (engine.video.initiated && value != engine.settings.windowed)
            SetFullscreen(!value);
        engine.settings.windowed = value;
        break;
    case HGE_ZBUFFER: engine.settings.zbuffer = value; break;
    case HGE_USESOUND: engine.settings.use_sound = value; break;
    case HGE_HIDEMOUSE:
        engine.settings.hide_mouse = value;
        if (engine.video.initiated)
            SDL_ShowCursor(value ? SDL_DISABLE : SDL_ENABLE);
        break;
    case HGE_SHOWSPLASH: engine.settings.show_splash = value; break;
    case HGE_TEXTUREFILTER:
        // Sampling changes every picture drawn from a texture.
        if (engine.settings.texture_filter != value)
            NoteResourcesChanged();
        engine.settings.texture_filter = value;
        break;
    }
}

void HGE::System_SetState(hgeStringState state, const char *value)
{
    if (state != HGE_TITLE)
        return;
    engine.settings.title_set = value != nullptr;
    engine.settings.title = value ? value : "";
    if (engine.video.window)
        SDL_SetWindowTitle(engine.video.window, System_GetState(HGE_TITLE));
}

hgeCallback HGE::System_GetState(hgeFuncState state)
{
    switch (state) {
    case HGE_FRAMEFUNC: return engine.settings.frame_func;
    case HGE_RENDERFUNC: return engine.settings.render_func;
    }
    return nullptr;
}

int HGE::System_GetState(hgeIntState state)
{
    switch (state) {
    case HGE_SCREENWIDTH: return engine.settings.screen_width;
    case HGE_SCREENHEIGHT: return engine.settings.screen_height;
    case HGE_FPS: return engine.settings.fps;
    }
    return 0;
}

bool HGE::System_GetState(hgeBoolState state)
{
    switch (state) {
    case HGE_WINDOWED: return engine.settings.windowed;
    case HGE_ZBUFFER: return engine.settings.zbuffer;
    case HGE_USESOUND: return engine.settings.use_sound;
    case HGE_HIDEMOUSE: return engine.settings.hide_mouse;
    case HGE_SHOWSPLASH: return engine.settings.show_splash;
    case HGE_TEXTUREFILTER: return engine.settings.texture_filter;
    }
    return false;
}

const char *HGE::System_GetState(hgeStringState state)
{
    if (state != HGE_TITLE)
        return nullptr;
    if (!engine.settings.title_set)
        engine.settings.title = platform->ProgramName();
    return engine.settings.title.c_str();
}

// ---------------------------------------------------------------- initiate

static bool WantsVsync()
{
    return engine.settings.fps == HGEFPS_VSYNC && !Says(platform->RendererNeverWaits);
}

static bool CreateRenderer(HGE *hge)
{
    engine.video.vsync = WantsVsync();
    Uint32 flags = SDL_RENDERER_TARGETTEXTURE;
    if (engine.video.vsync)
        flags |= SDL_RENDERER_PRESENTVSYNC;
    engine.video.renderer = SDL_CreateRenderer(engine.video.window, -1, flags);
    if (!engine.video.renderer) {
        hge->System_Log("Can't create a renderer: %s", SDL_GetError());
        return false;
    }
    SDL_RendererInfo info;
    engine.video.software =
        SDL_GetRendererInfo(engine.video.renderer, &info) == 0 && SDL_strcmp(info.name, "software") == 0;
    return true;
}

static bool StartImages(HGE *hge)
{
    if ((IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) == 0) {
        hge->System_Log("Can't start PNG loading: %s", IMG_GetError());
        return false;
    }
    engine.video.image_started = true;
    return true;
}

bool HGE::System_Initiate()
{
    if (engine.video.initiated)
        return true;
    if (!platform->StartVideo(this) || !OpenWindow(this) || !CreateRenderer(this) || !StartImages(this)) {
        // Whatever did open is closed again, so that a later attempt starts clean.
        System_Shutdown();
        return false;
    }

    if (engine.settings.hide_mouse)
        SDL_ShowCursor(SDL_DISABLE);
    engine.video.initiated = true;
    engine.timing.start = std::chrono::steady_clock::now();
    engine.timing.shown_frames = 0;
    engine.timing.counting_since = EngineSeconds();
    engine.timing.fps = 0;
    SeedRandom();
    return true;
}

void HGE::System_Shutdown()
{
    StopNetwork();
    FreeAllTextures();
    ClosePads();
    if (platform->Stops)
        platform->Stops();
    if (engine.video.renderer)
        SDL_DestroyRenderer(engine.video.renderer);
    if (engine.video.window)
        SDL_DestroyWindow(engine.video.window);
    if (engine.video.image_started)
        IMG_Quit();
    if (engine.video.sdl_started)
        SDL_Quit();
    // Nothing of SDL, the window, what it showed or a scene begun outlives it.
    engine.video = EngineState::Video();
    engine.window = EngineState::Window();
    engine.scene = EngineState::Scene();
    engine.input.mouse = EngineState::Input::Mouse();
}
