// Drawing a composed frame into the 620 x 300 picture (QtGui; no widgets).
#pragma once

#include <QImage>

#include "common/diagnostics.h"
#include "video/display_list.h"

namespace hulvex {

// A white picture of magnification x (620 x 300) pixels in a 32-bit format, ready for DrawFrame.
QImage MakeFrameBitmap(int magnification = 1);

// Clears `bitmap` to white, draws the display list with one-pixel solid pens (no antialiasing)
// through `scale`, and writes ReadoutText(T, Accel, Speed) in red with its top-left corner at
// pixel (250, 20) on a white cell. With scale.Magnification k above 1, pens are k pixels wide and
// the text is k times larger at (250 k, 20 k). A start pair whose first value is not -16 is reported as
// "Disp Err 1" and taken as a start pair. A point with a non-finite coordinate is not drawn (the
// polyline is broken there); lines are clipped to the neighbourhood of the picture before their
// ends become integers. The walk never reads past list.count pairs: a list without its end
// marker ends there. `bitmap` must be MakeFrameBitmap(scale.Magnification)'s size and format.
void DrawFrame(QImage& bitmap, const DisplayList& list, const PictureScale& scale, double T, double Accel,
               double Speed, Diagnostics& diag);

}  // namespace hulvex
