// Drawing a composed frame into the 620 x 300 picture (QtGui; no widgets).
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QRect>

#include <memory>
#include <span>
#include <string>

#include "common/diagnostics.h"
#include "video/display_list.h"
#include "video/run_colours.h"

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

// Draws the polylines of `list` over what `picture` holds, all in `colour`, with the pens and
// clipping of DrawFrame (a start pair that is not one is reported as DrawFrame reports it); the
// readout is not drawn. `picture` is any 32-bit picture; `scale` maps the list to its pixels.
void DrawOverlayRun(QImage& picture, const DisplayList& list, RunRgb colour, const PictureScale& scale,
                    Diagnostics& diag);

// The name box of a pane at magnification k: 200 k x 20 k pixels in the pane's bottom-left corner.
inline constexpr int kNameBoxWidth = 200;
inline constexpr int kNameBoxHeight = 20;
QRect RunNameBox(const QRect& pane, int magnification);

// Writes `name` (UTF-8; cut with an ellipsis when it does not fit) in black on white inside
// RunNameBox(pane, magnification), framed in black; no pixel outside that box changes.
void DrawRunNameBox(QImage& picture, const QRect& pane, const std::string& name, int magnification);

// The legend of an overlay of `runs` runs at magnification k: 200 k pixels wide, 16 k per run
// and 4 k more high, in the picture's top-left corner (left of the readout at 250 k).
inline constexpr int kLegendRowHeight = 16;
QRect OverlayLegendBox(int runs, int magnification);

// Draws the legend into OverlayLegendBox: one row per name, in run order, a bar in RunColour(i)
// and the name in black (cut with an ellipsis when too long), framed in black; no pixel outside
// that box changes.
void DrawOverlayLegend(QImage& picture, std::span<const std::string> names, int magnification);

// The application object the fonts of the picture need (offscreen unless QT_QPA_PLATFORM says
// otherwise, toolkit notes other than errors silenced), or nothing when one exists already (the
// viewer's, a test's). For programs and modules that draw without a window.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

}  // namespace hulvex
