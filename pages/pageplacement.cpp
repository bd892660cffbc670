#include "pageplacement.h"

bool IsPagePlacement(int value)
{
    return value >= int(PagePlacement::Append) && value <= int(PagePlacement::Replace);
}

int PagePlacementDetail::ClampCurrent(int current, int count)
{
    return count == 0 ? 0 : std::clamp(current, 0, count - 1);
}

int FirstPlacementRow(PagePlacement placement, int count, int current)
{
    if (count == 0) {
        return 0;
    }
    current = PagePlacementDetail::ClampCurrent(current, count);
    switch (placement) {
    case PagePlacement::Append:
        return count;
    case PagePlacement::After:
        return current + 1;
    case PagePlacement::Before:
    case PagePlacement::Replace:
        break;
    }
    return current;
}
