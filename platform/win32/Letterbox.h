// The game draws at a fixed logical size (the client size its window was
// created with, 800x600 for the game). The picture is scaled to the window
// as large as it fits with its aspect kept, centred, with black bars on the
// two remaining sides; mouse positions are mapped back through the same box.
#pragma once

namespace platform {

class Letterbox {
public:
    Letterbox() = default;
    // Logical size of the picture and the size of the surface it is shown on
    // (window pixels for the mouse, drawable pixels for the viewport).
    Letterbox(int logicalWidth, int logicalHeight, int surfaceWidth, int surfaceHeight);

    // The rectangle of the surface that shows the picture.
    int ViewportX() const { return m_x; }
    int ViewportY() const { return m_y; }
    int ViewportWidth() const { return m_width; }
    int ViewportHeight() const { return m_height; }
    double Scale() const { return m_scale; }

    // Surface position to logical position, rounded toward minus infinity.
    // Points on the bars map outside 0..logical size (negative or beyond).
    void ToLogical(int surfaceX, int surfaceY, int& logicalX, int& logicalY) const;
    // Logical position to the surface position of the logical pixel's top-left corner.
    void ToSurface(int logicalX, int logicalY, int& surfaceX, int& surfaceY) const;

private:
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
    double m_scale = 1.0;
};

}  // namespace platform
