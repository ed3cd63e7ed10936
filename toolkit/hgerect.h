// Axis-aligned rectangle, the result of a sprite's bounding box.
#pragma once

class hgeRect {
public:
    float x1, y1;  // left and top edge
    float x2, y2;  // right and bottom edge
    bool clean;    // true while the rectangle holds no point yet

    hgeRect() : x1(0), y1(0), x2(0), y2(0), clean(true) {}
    hgeRect(float left, float top, float right, float bottom)
        : x1(left), y1(top), x2(right), y2(bottom), clean(false) {}

    // Grows the rectangle to hold (x, y); a clean one becomes that point.
    void Encapsulate(float x, float y);
    // Left and top edges belong to the rectangle, right and bottom do not.
    bool TestPoint(float x, float y) const;
    // Rectangles that only share an edge do not intersect.
    bool Intersect(const hgeRect *rect) const;
};
