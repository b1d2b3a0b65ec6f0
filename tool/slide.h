// SPDX-License-Identifier: MIT
#pragma once

// The tool window's docking and slide steps, as plain arithmetic on its geometry so that
// they can be checked without a window. Coordinates are those of the available area;
// right is the last column the window covers (left + width - 1).
namespace Slide {

// One tick of the slide timer: where the window's left edge goes and whether the slide is over.
struct Tick
{
    int left = 0;
    bool stop = false;
};

// Docked: the right edge lies within step pixels of the available area's right edge, or beyond.
bool isDocked(int right, int availWidth, int step);

// Towards the screen edge until only strip pixels show; an overshoot of the last step is
// snapped back to exactly availWidth - strip on the tick that stops.
Tick slideOutStep(int left, int availWidth, int step, int strip);

// Back into view until the window lies wholly inside the available width; no snap, so the
// window may end up to step - 1 pixels left of flush.
Tick slideInStep(int left, int width, int availWidth, int step);

} // namespace Slide
