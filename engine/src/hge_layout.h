// Where the window's picture goes, worked out from sizes alone (no SDL), so
// that the rules can be tested for any window or screen.
//
// The picture has a size at 1x, its base: the render target it is made of
// when the window scene is one target magnified a whole number of times,
// else the logical window size (HGE_SCREENWIDTH x HGE_SCREENHEIGHT). It is
// shown at the largest whole multiple of the base that fits the window's
// drawable area, centred, with black bars around it, so that every pixel of
// the base is an exact square block.
#pragma once

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize &) const = default;
};

struct PictureLayout {
    int left = 0, top = 0;      // in output pixels, from the top left
    int width = 0, height = 0;  // the picture on the output
    // Times the base: 1 or more. 0 when not even the base fits and the
    // picture is shrunk to fit, keeping its shape (blocks are then uneven).
    int multiple = 0;
    bool operator==(const PictureLayout &) const = default;
};

// The largest whole multiple of `base` that fits `output`, centred; where a
// bar cannot be split evenly, the odd pixel goes right or down.
PictureLayout FitPicture(PictureSize base, PictureSize output);

// The window's size when it first opens: `designed` (the logical size) when
// it fits the usable area of the screen, else the largest whole multiple of
// `base` that fits, else `base` shrunk to fit with its shape kept.
PictureSize StartWindowSize(PictureSize designed, PictureSize base, PictureSize usable);

// Where a point of the window falls on its picture: the picture of `base`
// laid out by FitPicture on an output of `output` pixels, for a window of
// `window` in its own coordinates, those of the pointer (a HiDPI screen has
// more output pixels than window coordinates). The middle of window pixel
// (x, y), in pixels of the base from its top left; false on the bars and
// off the window.
bool PicturePoint(PictureSize base, PictureSize window, PictureSize output, int x, int y, float *px,
                  float *py);
