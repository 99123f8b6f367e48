// Drawing a composed frame into the 620 x 300 picture (QtGui; no widgets).
#pragma once

#include <QImage>

#include "common/diagnostics.h"
#include "video/display_list.h"

namespace hulvex {

// A white 620 x 300 picture in a 32-bit format, ready for DrawFrame.
QImage MakeFrameBitmap();

// Clears `bitmap` to white, draws the display list with one-pixel solid pens (no antialiasing)
// through `scale`, and writes ReadoutText(T, Accel, Speed) in red with its top-left corner at
// pixel (250, 20) on a white cell. A start pair whose first value is not -16 is reported as
// "Disp Err 1" and taken as a start pair. A point with a non-finite coordinate is not drawn (the
// polyline is broken there); lines are clipped to the neighbourhood of the picture before their
// ends become integers. The walk never reads past list.count pairs: a list without its end
// marker ends there. `bitmap` must be MakeFrameBitmap()'s size and format.
void DrawFrame(QImage& bitmap, const DisplayList& list, const PictureScale& scale, double T, double Accel,
               double Speed, Diagnostics& diag);

}  // namespace hulvex
