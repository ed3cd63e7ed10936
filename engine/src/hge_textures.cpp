// Textures and render targets: the table of SDL textures behind the handles,
// PNG decoding, targets that start transparent, and reading pixels back.
#include "hge_internal.h"

#include <SDL_image.h>

#include <cstdlib>

TextureEntry *FindTexture(uint32_t handle)
{
    if (handle == engine.textures.found_handle && engine.textures.found_entry)
        return engine.textures.found_entry;
    auto found = engine.textures.table.find(handle);
    if (found == engine.textures.table.end())
        return nullptr;
    engine.textures.found_handle = handle;
    engine.textures.found_entry = &found->second;
    return engine.textures.found_entry;
}

// Called before an entry leaves the table.
static void ForgetFoundTexture()
{
    engine.textures.found_handle = 0;
    engine.textures.found_entry = nullptr;
}

static void RemoveTexture(uint32_t handle, TextureEntry &entry)
{
    NoteResourcesChanged();
    SDL_DestroyTexture(entry.texture);
    ForgetFoundTexture();
    engine.textures.table.erase(handle);
}

// ---------------------------------------------------------------- textures

static uint32_t AddTexture(const TextureEntry &entry)
{
    NoteResourcesChanged();
    uint32_t handle = engine.textures.next_handle++;
    TextureEntry &added = engine.textures.table[handle];
    added = entry;
    if (added.target)
        added.picture = engine.textures.next_picture++;
    return handle;
}

static bool AllOpaque(const SDL_Surface *argb)
{
    for (int y = 0; y < argb->h; ++y) {
        const auto *row = reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(argb->pixels) +
                                                           static_cast<size_t>(y) * argb->pitch);
        for (int x = 0; x < argb->w; ++x) {
            if ((row[x] >> 24) != 0xFF)
                return false;
        }
    }
    return true;
}

static SDL_Texture *TextureFromSurface(SDL_Surface *loaded, bool *opaque, std::string *why)
{
    SDL_Surface *argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) {
        *why = SDL_GetError();
        return nullptr;
    }
    *opaque = AllOpaque(argb);
    SDL_Texture *texture = SDL_CreateTexture(engine.video.renderer, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_STATIC, argb->w, argb->h);
    if (!texture || SDL_UpdateTexture(texture, nullptr, argb->pixels, argb->pitch) != 0) {
        *why = SDL_GetError();
        if (texture)
            SDL_DestroyTexture(texture);
        texture = nullptr;
    }
    SDL_FreeSurface(argb);
    return texture;
}

// PNG only: the other readers SDL_image may carry are not needed here and
// would widen what a bad file can reach.
static SDL_Texture *DecodeImage(const void *data, DWORD size, bool *opaque, std::string *why)
{
    SDL_RWops *stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!stream) {
        *why = SDL_GetError();
        return nullptr;
    }
    const bool png = IMG_isPNG(stream);
    SDL_Surface *loaded = png ? IMG_LoadPNG_RW(stream) : nullptr;
    if (!loaded)
        *why = png ? IMG_GetError() : "not a PNG image";
    SDL_RWclose(stream);
    if (!loaded)
        return nullptr;
    SDL_Texture *texture = TextureFromSurface(loaded, opaque, why);
    SDL_FreeSurface(loaded);
    return texture;
}

HTEXTURE HGE::Texture_Load(const char *filename, DWORD size, bool /*mipmap*/)
{
    const char *shown = size ? "(image in memory)" : (filename ? filename : "(null)");
    if (!engine.video.renderer) {
        System_Log("Can't load texture %s: the engine is not initiated", shown);
        return 0;
    }
    std::string why;
    SDL_Texture *texture = nullptr;
    bool opaque = false;
    if (size) {
        texture = filename ? DecodeImage(filename, size, &opaque, &why) : nullptr;
        if (!filename)
            why = "no data";
    } else {
        DWORD length = 0;
        char *block = ReadEngineFile(filename, &length, &why);
        if (block)
            texture = DecodeImage(block, length, &opaque, &why);
        std::free(block);
    }
    if (!texture) {
        System_Log("Can't load texture %s: %s", shown, why.c_str());
        return 0;
    }
    TextureEntry entry;
    entry.texture = texture;
    entry.opaque = opaque;
    SDL_QueryTexture(texture, nullptr, nullptr, &entry.width, &entry.height);
    return AddTexture(entry);
}

void HGE::Texture_Free(HTEXTURE tex)
{
    TextureEntry *entry = FindTexture(tex);
    // A target's texture goes with its target.
    if (!entry || entry->target)
        return;
    RemoveTexture(tex, *entry);
}

int HGE::Texture_GetWidth(HTEXTURE tex, bool /*original*/)
{
    TextureEntry *entry = FindTexture(tex);
    return entry ? entry->width : 0;
}

int HGE::Texture_GetHeight(HTEXTURE tex, bool /*original*/)
{
    TextureEntry *entry = FindTexture(tex);
    return entry ? entry->height : 0;
}

void FreeAllTextures()
{
    if (engine.video.renderer)
        SDL_SetRenderTarget(engine.video.renderer, nullptr);
    engine.scene.active = false;
    for (auto &[handle, entry] : engine.textures.table)
        SDL_DestroyTexture(entry.texture);
    ForgetFoundTexture();
    engine.textures.table.clear();
    ++engine.textures.changes;
    FreeStaging();
}

// ---------------------------------------------------------------- targets

HTARGET HGE::Target_Create(int width, int height, bool /*zbuffer*/)
{
    SDL_Renderer *renderer = engine.video.renderer;
    if (!renderer) {
        System_Log("Can't create a %dx%d target: the engine is not initiated", width, height);
        return 0;
    }
    SDL_Texture *texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_TARGET, width, height);
    if (!texture) {
        System_Log("Can't create a %dx%d target: %s", width, height, SDL_GetError());
        return 0;
    }
    TextureEntry entry;
    entry.texture = texture;
    entry.width = width;
    entry.height = height;
    entry.target = true;
    HTARGET target = AddTexture(entry);
    // A new target starts transparent, not with whatever memory held.
    SDL_Texture *previous = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, texture);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
    SDL_SetRenderTarget(renderer, previous);
    return target;
}

void HGE::Target_Free(HTARGET target)
{
    TextureEntry *entry = FindTexture(target);
    if (!entry || !entry->target)
        return;
    // Its own scene ends unfinished; another target's is drawn while this
    // one is still there to be drawn from.
    if (engine.scene.active && engine.scene.target == target) {
        SDL_SetRenderTarget(engine.video.renderer, nullptr);
        engine.scene.active = false;
    }
    RemoveTexture(target, *entry);
}

HTEXTURE HGE::Target_GetTexture(HTARGET target)
{
    TextureEntry *entry = FindTexture(target);
    return entry && entry->target ? target : 0;
}

// ---------------------------------------------------------------- read-back

bool ReadPixels(SDL_Texture *texture, int width, int height, std::vector<uint32_t> &argb)
{
    SDL_Renderer *renderer = engine.video.renderer;
    if (!renderer || width <= 0 || height <= 0)
        return false;
    argb.resize(static_cast<size_t>(width) * height);
    SDL_Texture *previous = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, texture);
    const SDL_Rect whole{0, 0, width, height};
    const bool read =
        SDL_RenderReadPixels(renderer, &whole, SDL_PIXELFORMAT_ARGB8888, argb.data(), width * 4) == 0;
    SDL_SetRenderTarget(renderer, previous);
    return read;
}
