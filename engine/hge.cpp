// The engine object, its states, the window's life, the frame loop, the
// clock, random numbers, input, files and the log.
#include "hge_internal.h"
#include "hge_pacing.h"

#include <SDL_image.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

EngineState engine;

// Seam log lines kept at most; older ones are dropped first.
static constexpr size_t MAX_LOG_LINES = 1000;
static constexpr double DEFAULT_REFRESH_HZ = 60.0;

// Video drivers that show nothing: SDL falls back to them without a display.
static const char *const invisible_drivers[] = {"offscreen", "dummy", "evdev"};

HGE *hgeCreate(int version)
{
    if (version != HGE_VERSION)
        std::fprintf(stderr, "hgeCreate: interface version %#x asked, %#x given\n", version,
                     HGE_VERSION);
    if (!engine.object) {
        engine.object = new HGE();
        engine.start = std::chrono::steady_clock::now();
        engine.random.seed(seam.seeded ? seam.seed
                                       : static_cast<uint32_t>(engine.start.time_since_epoch().count()));
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

    std::fprintf(stderr, "%s\n", line.c_str());
    if (seam.log_lines.size() >= MAX_LOG_LINES)
        seam.log_lines.erase(seam.log_lines.begin());
    seam.log_lines.push_back(std::move(line));
}

// ---------------------------------------------------------------- states

void HGE::System_SetState(hgeFuncState state, hgeCallback value)
{
    switch (state) {
    case HGE_FRAMEFUNC: engine.frame_func = value; break;
    case HGE_RENDERFUNC: engine.render_func = value; break;
    }
}

void HGE::System_SetState(hgeIntState state, int value)
{
    // The window's size is fixed once it is open.
    switch (state) {
    case HGE_SCREENWIDTH: if (!engine.initiated) engine.screen_width = value; break;
    case HGE_SCREENHEIGHT: if (!engine.initiated) engine.screen_height = value; break;
    case HGE_FPS: engine.fps = value; break;
    }
}

void HGE::System_SetState(hgeBoolState state, bool value)
{
    switch (state) {
    case HGE_WINDOWED: engine.windowed = value; break;
    case HGE_ZBUFFER: engine.zbuffer = value; break;
    case HGE_USESOUND: engine.use_sound = value; break;
    case HGE_HIDEMOUSE:
        engine.hide_mouse = value;
        if (engine.initiated)
            SDL_ShowCursor(value ? SDL_DISABLE : SDL_ENABLE);
        break;
    case HGE_SHOWSPLASH: engine.show_splash = value; break;
    case HGE_TEXTUREFILTER:
        // Sampling changes every picture drawn from a texture.
        if (engine.texture_filter != value)
            NoteResourcesChanged();
        engine.texture_filter = value;
        break;
    }
}

static std::string ExecutableName()
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.filename().string();
}

void HGE::System_SetState(hgeStringState state, const char *value)
{
    if (state != HGE_TITLE)
        return;
    engine.title_set = value != nullptr;
    engine.title = value ? value : "";
    if (engine.window)
        SDL_SetWindowTitle(engine.window, System_GetState(HGE_TITLE));
}

hgeCallback HGE::System_GetState(hgeFuncState state)
{
    switch (state) {
    case HGE_FRAMEFUNC: return engine.frame_func;
    case HGE_RENDERFUNC: return engine.render_func;
    }
    return nullptr;
}

int HGE::System_GetState(hgeIntState state)
{
    switch (state) {
    case HGE_SCREENWIDTH: return engine.screen_width;
    case HGE_SCREENHEIGHT: return engine.screen_height;
    case HGE_FPS: return engine.fps;
    }
    return 0;
}

bool HGE::System_GetState(hgeBoolState state)
{
    switch (state) {
    case HGE_WINDOWED: return engine.windowed;
    case HGE_ZBUFFER: return engine.zbuffer;
    case HGE_USESOUND: return engine.use_sound;
    case HGE_HIDEMOUSE: return engine.hide_mouse;
    case HGE_SHOWSPLASH: return engine.show_splash;
    case HGE_TEXTUREFILTER: return engine.texture_filter;
    }
    return false;
}

const char *HGE::System_GetState(hgeStringState state)
{
    if (state != HGE_TITLE)
        return nullptr;
    if (!engine.title_set)
        engine.title = ExecutableName();
    return engine.title.c_str();
}

// ---------------------------------------------------------------- initiate

static bool DriverIsInvisible(const char *driver)
{
    for (const char *name : invisible_drivers) {
        if (driver && SDL_strcasecmp(driver, name) == 0)
            return true;
    }
    return false;
}

static bool EnvironmentChoseDriver()
{
    const char *chosen = SDL_getenv("SDL_VIDEODRIVER");
    return chosen && *chosen;
}

static bool EnvironmentNamesDisplay()
{
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = SDL_getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

static void ChooseDrivers()
{
    // Without framebuffer acceleration SDL would hide a GL texture behind the
    // window: many times the CPU and memory of the plain framebuffer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Normal priority: SDL_RENDER_DRIVER in the environment still wins.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    if (seam.headless) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_OVERRIDE);
    }
}

static bool StartVideo(HGE *hge)
{
    ChooseDrivers();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        if (!seam.headless && !EnvironmentChoseDriver() && !EnvironmentNamesDisplay())
            hge->System_Log("no display: set DISPLAY or WAYLAND_DISPLAY");
        else
            hge->System_Log("Can't start SDL video: %s", SDL_GetError());
        return false;
    }
    engine.sdl_started = true;
    const char *driver = SDL_GetCurrentVideoDriver();
    if (DriverIsInvisible(driver) && !seam.headless && !EnvironmentChoseDriver()) {
        hge->System_Log("no display: set DISPLAY or WAYLAND_DISPLAY");
        return false;
    }
    return true;
}

static bool OpenWindow(HGE *hge)
{
    Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
    if (!engine.windowed)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    engine.window = SDL_CreateWindow(hge->System_GetState(HGE_TITLE), SDL_WINDOWPOS_CENTERED,
                                     SDL_WINDOWPOS_CENTERED, engine.screen_width,
                                     engine.screen_height, flags);
    if (!engine.window) {
        hge->System_Log("Can't open a %dx%d window: %s", engine.screen_width, engine.screen_height,
                        SDL_GetError());
        return false;
    }
    return true;
}

static bool WantsVsync()
{
    return engine.fps == HGEFPS_VSYNC && !seam.headless && !seam.virtual_clock;
}

static bool CreateRenderer(HGE *hge)
{
    engine.vsync = WantsVsync();
    Uint32 flags = SDL_RENDERER_TARGETTEXTURE;
    if (engine.vsync)
        flags |= SDL_RENDERER_PRESENTVSYNC;
    engine.renderer = SDL_CreateRenderer(engine.window, -1, flags);
    if (!engine.renderer) {
        hge->System_Log("Can't create a renderer: %s", SDL_GetError());
        return false;
    }
    // On a HiDPI screen the window has more pixels than it is wide: the
    // renderer scales the logical size up by whole steps.
    SDL_RenderSetLogicalSize(engine.renderer, engine.screen_width, engine.screen_height);
    SDL_RenderSetIntegerScale(engine.renderer, SDL_TRUE);
    return true;
}

static bool StartImages(HGE *hge)
{
    if ((IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) == 0) {
        hge->System_Log("Can't start PNG loading: %s", IMG_GetError());
        return false;
    }
    engine.image_started = true;
    return true;
}

bool HGE::System_Initiate()
{
    if (engine.initiated)
        return true;
    if (seam.fail_next_initiate) {
        seam.fail_next_initiate = false;
        System_Log("no display: set DISPLAY or WAYLAND_DISPLAY");
        return false;
    }
    if (!StartVideo(this) || !OpenWindow(this) || !CreateRenderer(this) || !StartImages(this)) {
        // Whatever did open is closed again, so that a later attempt starts clean.
        System_Shutdown();
        return false;
    }

    if (engine.hide_mouse)
        SDL_ShowCursor(SDL_DISABLE);
    engine.initiated = true;
    engine.start = std::chrono::steady_clock::now();
    engine.fps_frames = 0;
    engine.fps_since = EngineSeconds();
    engine.fps_last = 0;
    engine.random.seed(seam.seeded ? seam.seed
                                   : static_cast<uint32_t>(engine.start.time_since_epoch().count()));
    return true;
}

void HGE::System_Shutdown()
{
    FreeAllTextures();
    if (engine.renderer) {
        SDL_DestroyRenderer(engine.renderer);
        engine.renderer = nullptr;
    }
    if (engine.window) {
        SDL_DestroyWindow(engine.window);
        engine.window = nullptr;
    }
    if (engine.image_started) {
        IMG_Quit();
        engine.image_started = false;
    }
    if (engine.sdl_started) {
        SDL_Quit();
        engine.sdl_started = false;
    }
    engine.initiated = false;
    engine.in_scene = false;
    engine.scene_target = 0;
    engine.window_last_ended = false;
    engine.window_last_shown = false;
}

// ---------------------------------------------------------------- clock

double EngineSeconds()
{
    if (seam.virtual_clock)
        return seam.now;
    std::chrono::duration<double> since = std::chrono::steady_clock::now() - engine.start;
    return since.count();
}

float HGE::Timer_GetTime()
{
    return static_cast<float>(EngineSeconds());
}

int HGE::Timer_GetFPS()
{
    return engine.fps_last;
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

// ---------------------------------------------------------------- input

static void TakeScriptedKey()
{
    engine.frame_key = 0;
    if (!seam.keys.empty()) {
        engine.frame_key = seam.keys.front();
        seam.keys.pop_front();
    }
}

// Reads everything the platform queued since the last frame: only the first
// key pressed counts, the others are dropped, not kept for later frames.
static void ReadEvents()
{
    engine.frame_key = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            engine.quit = true;
        else if (event.type == SDL_KEYDOWN && !event.key.repeat && engine.frame_key == 0 &&
                 !seam.scripted_keys)
            engine.frame_key = TranslateKey(event.key.keysym.sym);
        // An uncovered, restored or resized window may have lost its picture.
        else if (event.type == SDL_WINDOWEVENT)
            engine.force_present = true;
        else if (event.type == SDL_RENDER_TARGETS_RESET || event.type == SDL_RENDER_DEVICE_RESET) {
            engine.force_present = true;
            NoteResourcesChanged();
        }
    }
    if (seam.scripted_keys)
        TakeScriptedKey();
}

int HGE::Input_GetKey()
{
    return engine.frame_key;
}

// ---------------------------------------------------------------- frame loop

static double DisplayPeriod()
{
    if (engine.fps > 0)
        return 1.0 / engine.fps;
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(engine.window);
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
        return 1.0 / mode.refresh_rate;
    return 1.0 / DEFAULT_REFRESH_HZ;
}

static FramePacer MakePacer()
{
    PaceMode mode = PaceMode::Deadlines;
    if (seam.virtual_clock || engine.fps == 0)
        mode = PaceMode::Unpaced;
    else if (engine.vsync)
        mode = PaceMode::Measuring;
    return FramePacer(mode, DisplayPeriod(), EngineSeconds());
}

static void WaitForNextFrame(FramePacer &pacer)
{
    double now = EngineSeconds();
    double next = pacer.FrameDone(now, engine.frame_presented);
    if (engine.vsync && !pacer.WantsVsync()) {
        SDL_RenderSetVSync(engine.renderer, 0);
        engine.vsync = false;
    }
    if (next > now) {
        auto wake = engine.start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(next));
        std::this_thread::sleep_until(wake);
    }
}

static bool RunFrame(int frame)
{
    if (seam.virtual_clock && frame > 0)
        seam.now += seam.clock_step;
    engine.frame_presented = false;
    ReadEvents();
    if (engine.quit)
        return true;
    bool done = engine.frame_func();
    seam.frame_count = frame + 1;
    if (done)
        return true;
    // Read only now: the frame function may have installed another one.
    if (engine.render_func)
        engine.render_func();
    if (seam.frame_hook && seam.frame_hook(frame))
        return true;
    return !engine.frame_func;
}

bool HGE::System_Start()
{
    if (!engine.initiated) {
        System_Log("System_Start: the engine is not initiated");
        return false;
    }
    if (!engine.frame_func) {
        System_Log("System_Start: no frame function");
        return false;
    }
    if (engine.running) {
        System_Log("System_Start: the frame loop is already running");
        return false;
    }
    engine.running = true;
    engine.quit = false;
    seam.frame_count = 0;
    FramePacer pacer = MakePacer();
    for (int frame = 0; !RunFrame(frame); ++frame)
        WaitForNextFrame(pacer);
    engine.running = false;
    engine.frame_key = 0;
    return true;
}

// ---------------------------------------------------------------- files

static std::string BaseFolder()
{
    static const std::string folder = [] {
        char *base = SDL_GetBasePath();
        std::string path = base ? base : "";
        SDL_free(base);
        return path;
    }();
    return folder;
}

// Where an installed executable's data lies, from the executable's folder
// (bin/torvek reads share/torvek/Images/...).
static const char INSTALLED_DATA_FOLDER[] = "../share/torvek";

// A relative path is looked for in the working folder first, then beside the
// executable (a build folder), then in the installed data folder, so the
// program finds its data wherever it is started from.
static std::filesystem::path ResolvePath(const char *filename)
{
    std::filesystem::path path(filename);
    std::error_code error;
    if (path.is_absolute() || std::filesystem::exists(path, error))
        return path;
    std::string base = BaseFolder();
    if (base.empty())
        return path;
    for (std::filesystem::path folder : {std::filesystem::path(base),
                                         std::filesystem::path(base) / INSTALLED_DATA_FOLDER}) {
        std::filesystem::path candidate = (folder / path).lexically_normal();
        if (std::filesystem::exists(candidate, error))
            return candidate;
    }
    return path;
}

// Reads a whole file into a block that ends with an extra zero byte (not
// counted in `size`), so text can be parsed in place. Null and the reason on
// failure.
static char *ReadWholeFile(const char *filename, DWORD *size, std::string *why)
{
    if (!filename || !*filename) {
        *why = "no file name";
        return nullptr;
    }
    std::filesystem::path path = ResolvePath(filename);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        *why = "no such file";
        return nullptr;
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        *why = "not a regular file";
        return nullptr;
    }
    uintmax_t length = std::filesystem::file_size(path, error);
    if (error || length >= UINT32_MAX) {
        *why = error ? error.message() : "too large";
        return nullptr;
    }
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *why = std::strerror(errno);
        return nullptr;
    }
    char *block = static_cast<char *>(std::malloc(length + 1));
    size_t got = block ? std::fread(block, 1, length, file) : 0;
    std::fclose(file);
    if (!block || got != length) {
        std::free(block);
        *why = block ? "read error" : "out of memory";
        return nullptr;
    }
    block[length] = '\0';
    if (size)
        *size = static_cast<DWORD>(length);
    return block;
}

void *HGE::Resource_Load(const char *filename, DWORD *size)
{
    std::string why;
    char *block = ReadWholeFile(filename, size, &why);
    if (!block) {
        System_Log("Can't load resource %s: %s", filename ? filename : "(null)", why.c_str());
        if (size)
            *size = 0;
    }
    return block;
}

void HGE::Resource_Free(void *res)
{
    std::free(res);
}

char *ReadEngineFile(const char *filename, DWORD *size, std::string *why)
{
    return ReadWholeFile(filename, size, why);
}
