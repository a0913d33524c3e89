#include "tools/fontbaker/SheetPacker.h"
#include "tools/fontbaker/FontSpec.h"

#include <algorithm>
#include <numeric>

namespace fontbaker {

int SheetPacker::Shelve(const std::vector<Size>& sizes, const std::vector<int>& order, int padding, int width,
                        std::vector<SheetCell>* cells)
{
    // The walk runs in padded coordinates (x, y); the unpadded position is
    // what remains after taking away the padding of the cells before it.
    int x = kGap;
    int y = kGap;
    int column = 0;
    int row = 0;
    int shelfHeight = 0;
    for (int index : order) {
        const int paddedWidth = sizes[index].width + 2 * padding;
        const int paddedHeight = sizes[index].height + 2 * padding;
        if (paddedWidth + 2 * kGap > width)
            return -1;
        if (column > 0 && x + paddedWidth + kGap > width) {
            y += shelfHeight + kGap;
            x = kGap;
            column = 0;
            ++row;
            shelfHeight = 0;
        }
        if (cells) {
            SheetCell& cell = (*cells)[index];
            cell.ix = column;
            cell.iy = row;
            cell.sx = x - 2 * padding * column;
            cell.sy = y - 2 * padding * row;
        }
        x += paddedWidth + kGap;
        ++column;
        shelfHeight = std::max(shelfHeight, paddedHeight);
    }
    return y + shelfHeight + kGap;
}

SheetLayout SheetPacker::Pack(const std::vector<Size>& sizes, int padding, int maxSide)
{
    // Tallest first gives even shelves; ties keep the input order so the
    // result never depends on the sort's whims.
    std::vector<int> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (sizes[a].height != sizes[b].height)
            return sizes[a].height > sizes[b].height;
        return sizes[a].width > sizes[b].width;
    });

    SheetLayout best;
    long bestArea = 0;
    for (int width = 16; width <= maxSide; width *= 2) {
        const int needed = Shelve(sizes, order, padding, width, nullptr);
        if (needed < 0)
            continue;
        int height = 16;
        while (height < needed)
            height *= 2;
        if (height > maxSide)
            continue;
        const long area = static_cast<long>(width) * height;
        // Smallest area, then the squarer sheet.
        if (best.width == 0 || area < bestArea ||
            (area == bestArea && std::max(width, height) < std::max(best.width, best.height))) {
            best.width = width;
            best.height = height;
            bestArea = area;
        }
    }
    if (best.width == 0)
        throw FontBakeError("the glyphs do not fit into a " + std::to_string(maxSide) + "x" +
                            std::to_string(maxSide) + " sheet; choose a smaller size or thinner layers");
    best.cells.resize(sizes.size());
    Shelve(sizes, order, padding, best.width, &best.cells);
    return best;
}

} // namespace fontbaker
