// SPDX-License-Identifier: MIT
#include "tool/slide.h"

namespace Slide {

bool isDocked(int right, int availWidth, int step)
{
    return right + step + 1 >= availWidth;
}

Tick slideOutStep(int left, int availWidth, int step, int strip)
{
    if (left + strip < availWidth)
        return {left + step, false};
    return {availWidth - strip, true};
}

Tick slideInStep(int left, int width, int availWidth, int step)
{
    const int right = left + width - 1;
    if (right + 1 > availWidth)
        return {left - step, false};
    return {left, true};
}

} // namespace Slide
