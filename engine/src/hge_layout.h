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
