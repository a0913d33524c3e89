#include "framework/core/util/LowerCaseTable.h"

namespace Qmv2 {

namespace {

const LowerCaseRow kRows[] = {
#include "framework/core/util/LowerCaseTableData.inc"
};

int CountRows()
{
    int count = 0;
    while (kRows[count].codePoint != 0)
        ++count;
    return count;
}

} // namespace

const LowerCaseRow* LowerCaseTable::Rows()
{
    return kRows;
}

int LowerCaseTable::RowCount()
{
    static const int count = CountRows();
    return count;
}

const LowerCaseRow* LowerCaseTable::Find(std::uint32_t codePoint)
{
    int low = 0;
    int high = RowCount() - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const std::uint32_t here = kRows[middle].codePoint;
        if (codePoint < here)
            high = middle - 1;
        else if (codePoint > here)
            low = middle + 1;
        else
            return &kRows[middle];
    }
    return nullptr;
}

} // namespace Qmv2
