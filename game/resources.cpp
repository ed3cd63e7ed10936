#include "resources.h"

HGE *hge = nullptr;

HTEXTURE t_clouds, t_ground, t_sky, t_sun, t_hge, t_pieces, t_board, t_select, t_combo;
HTARGET t_window_main;

hgeSprite *s_window_main;
hgeSprite *s_clouds, *s_ground, *s_sky, *s_sun, *s_hge, *s_board;
hgeSprite *s_select[2];
hgeSprite *s_combo[4];

hgeFont *font1;
hgeFont *font2;

struct FontFile {
    hgeFont **font;
    const char *file;
    DWORD color;
};

static const FontFile FONT_FILES[] = {
    {&font1, "Fonts/font1.fnt", 0xFFECECEC},  // light grey
    {&font2, "Fonts/font2.fnt", 0xFFE0EC9C},  // pale yellow-green
};

struct TextureFile {
    HTEXTURE *texture;
    const char *file;
};

// In loading order.
static const TextureFile TEXTURE_FILES[] = {
    {&t_clouds, "Images/Background/TRVK_clouds.png"},
    {&t_ground, "Images/Background/TRVK_ground.png"},
    {&t_sky,    "Images/Background/TRVK_sky.png"},
    {&t_sun,    "Images/Background/TRVK_sun.png"},
    {&t_hge,    "Images/TRVK_hge.png"},
    {&t_pieces, "Images/Pieces/TRVK_pieces.png"},
    {&t_board,  "Images/TRVK_board.png"},
    {&t_select, "Images/TRVK_select.png"},
    {&t_combo,  "Images/Pieces/TRVK_combo.png"},
};

struct SpriteCut {
    hgeSprite **sprite;
    HTEXTURE *texture;
    float x, y, w, h;
    float hot_x, hot_y;
    float z;
};

// In building order; the background lies at depth 1.0, the combo marks at 0.1
// like the hand pieces they are drawn over.
static const SpriteCut SPRITE_CUTS[] = {
    //  sprite       texture     x   y    w    h    hot spot  depth
    {&s_clouds,    &t_clouds,    0,  0, 256,  75,   0,  0,   1.0f},
    {&s_ground,    &t_ground,    0,  0, 256,  76,   0,  0,   1.0f},
    {&s_sky,       &t_sky,       0,  0, 256, 192,   0,  0,   1.0f},
    {&s_sun,       &t_sun,       0,  0,  58,  58,  29, 29,   1.0f},
    {&s_hge,       &t_hge,       0,  0,  58,  42,  29, 21,   0.5f},
    {&s_board,     &t_board,     0,  0, 103,  28,  50, 16,   1.0f},
    {&s_select[0], &t_select,    0,  0,  16,  24,   8, 24,   0.5f},
    {&s_select[1], &t_select,   16,  0,  35,  10,  16,  7,   0.5f},
    {&s_combo[0],  &t_combo,     0,  0,  10,   3,   0,  0,   0.1f},
    {&s_combo[1],  &t_combo,    10,  0,  10,   3,   0,  0,   0.1f},
    {&s_combo[2],  &t_combo,    20,  0,  10,   3,   0,  0,   0.1f},
    {&s_combo[3],  &t_combo,    30,  0,  10,   3,   0,  0,   0.1f},
};

template <typename T>
static void Delete(T *&object)
{
    delete object;
    object = nullptr;
}

void Load_Resources()
{
    for (const FontFile &f : FONT_FILES) {
        *f.font = new hgeFont(f.file, false);
        (*f.font)->SetColor(f.color);
        (*f.font)->SetZ(0);
    }

    t_window_main = hge->Target_Create(SCREEN_LENGTH, SCREEN_HEIGHT, true);
    s_window_main = new hgeSprite(hge->Target_GetTexture(t_window_main), 0, 0,
                                  SCREEN_LENGTH, SCREEN_HEIGHT);

    for (const TextureFile &t : TEXTURE_FILES)
        *t.texture = hge->Texture_Load(t.file, 0, false);

    for (const SpriteCut &c : SPRITE_CUTS) {
        hgeSprite *sprite = new hgeSprite(*c.texture, c.x, c.y, c.w, c.h);
        sprite->SetHotSpot(c.hot_x, c.hot_y);
        sprite->SetZ(c.z, -1);
        *c.sprite = sprite;
    }
}

void Free_Fonts()
{
    for (const FontFile &f : FONT_FILES)
        Delete(*f.font);
}

void Free_Resources()
{
    for (const SpriteCut &c : SPRITE_CUTS)
        Delete(*c.sprite);
    Delete(s_window_main);

    for (const TextureFile &t : TEXTURE_FILES) {
        hge->Texture_Free(*t.texture);
        *t.texture = 0;
    }
    hge->Target_Free(t_window_main);
    t_window_main = 0;
}
