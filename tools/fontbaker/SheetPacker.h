#pragma once

#include <vector>

namespace fontbaker {

// Where one glyph lies: its rectangle (sx, sy) in the unpadded sheet and its
// cell (ix, iy). A layer with padding p finds the glyph's padded cell at
// (sx + 2p*ix, sy + 2p*iy), sized (w + 2p, h + 2p).
struct SheetCell {
    int sx = 0;
    int sy = 0;
    int ix = 0;
    int iy = 0;
};

struct SheetLayout {
    int width = 0;    // a power of two, at most the limit
    int height = 0;
    std::vector<SheetCell> cells;   // one per input size, in input order
};

// Shelf packing of glyph rectangles into the smallest power-of-two sheet
// that holds them with every cell grown by the largest layer padding. Cells
// keep one clear pixel between each other and from the sheet's edges, so
// filtering never mixes neighbours.
class SheetPacker {
public:
    struct Size {
        int width = 0;
        int height = 0;
    };

    static constexpr int kGap = 1;

    // Throws FontBakeError when the glyphs do not fit into maxSide x maxSide.
    static SheetLayout Pack(const std::vector<Size>& sizes, int padding, int maxSide);

private:
    // The height the shelves need in a sheet of the given width, or -1 when
    // a single cell is wider than the sheet.
    static int Shelve(const std::vector<Size>& sizes, const std::vector<int>& order, int padding, int width,
                      std::vector<SheetCell>* cells);
};

} // namespace fontbaker
