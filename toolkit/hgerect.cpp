#include "hgerect.h"

#include <cmath>

void hgeRect::Encapsulate(float x, float y)
{
    if (clean) {
        x1 = x2 = x;
        y1 = y2 = y;
        clean = false;
        return;
    }
    if (x < x1)
        x1 = x;
    if (x > x2)
        x2 = x;
    if (y < y1)
        y1 = y;
    if (y > y2)
        y2 = y;
}

bool hgeRect::TestPoint(float x, float y) const
{
    return x1 <= x && x < x2 && y1 <= y && y < y2;
}

bool hgeRect::Intersect(const hgeRect *rect) const
{
    // Doubled distance of the centres against the sum of the sizes.
    return std::fabs(x1 + x2 - rect->x1 - rect->x2) < (x2 - x1) + (rect->x2 - rect->x1) &&
           std::fabs(y1 + y2 - rect->y1 - rect->y2) < (y2 - y1) + (rect->y2 - rect->y1);
}
