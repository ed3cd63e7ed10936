#include "hge_layout.h"

#include <algorithm>
#include <cmath>

// The base shrunk to fit: the first whole sizes with the base's shape that
// fit, computed in integers so that no rounding spills over the output.
static PictureSize Shrunk(PictureSize base, PictureSize output)
{
    // Width-limited when output.w / base.w <= output.h / base.h.
    if (static_cast<long long>(output.width) * base.height <=
        static_cast<long long>(output.height) * base.width)
        return {output.width,
                static_cast<int>(static_cast<long long>(output.width) * base.height / base.width)};
    return {static_cast<int>(static_cast<long long>(output.height) * base.width / base.height),
            output.height};
}

PictureLayout FitPicture(PictureSize base, PictureSize output)
{
    PictureLayout layout;
    if (base.width <= 0 || base.height <= 0 || output.width <= 0 || output.height <= 0)
        return layout;
    layout.multiple = std::min(output.width / base.width, output.height / base.height);
    PictureSize shown = layout.multiple > 0
                            ? PictureSize{base.width * layout.multiple, base.height * layout.multiple}
                            : Shrunk(base, output);
    layout.width = shown.width;
    layout.height = shown.height;
    layout.left = (output.width - shown.width) / 2;
    layout.top = (output.height - shown.height) / 2;
    return layout;
}

PictureSize StartWindowSize(PictureSize designed, PictureSize base, PictureSize usable)
{
    if (usable.width <= 0 || usable.height <= 0)
        return designed;
    if (designed.width <= usable.width && designed.height <= usable.height)
        return designed;
    const PictureLayout fitted = FitPicture(base, usable);
    if (fitted.width <= 0)
        return designed;
    return {fitted.width, fitted.height};
}

bool PicturePoint(PictureSize base, PictureSize window, PictureSize output, int x, int y, float *px,
                  float *py)
{
    const PictureLayout layout = FitPicture(base, output);
    if (layout.width <= 0 || layout.height <= 0 || window.width <= 0 || window.height <= 0 ||
        x < 0 || y < 0 || x >= window.width || y >= window.height)
        return false;
    const double out_x = (x + 0.5) * output.width / window.width;
    const double out_y = (y + 0.5) * output.height / window.height;
    if (out_x < layout.left || out_y < layout.top || out_x >= layout.left + layout.width ||
        out_y >= layout.top + layout.height)
        return false;
    // Rounding to float must not carry the last pixel's point over the edge.
    const auto inside = [](double point, int size) {
        return std::min(static_cast<float>(point), std::nextafter(static_cast<float>(size), 0.0f));
    };
    *px = inside((out_x - layout.left) * base.width / layout.width, base.width);
    *py = inside((out_y - layout.top) * base.height / layout.height, base.height);
    return true;
}
