#include "hge_layout.h"

#include <algorithm>

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
