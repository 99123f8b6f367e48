// Run.render: a step's picture as `hulvex render` draws it, into a caller's RGB buffer. The
// picture drawing (QtGui) is linked only where it is built; the application object it needs is
// made on the first call, so importing the module starts no Qt.
#pragma once

#include <cstdint>
#include <string>

namespace hulvex::python {

#ifdef HULVEX_HAVE_RENDER
inline constexpr bool kHaveRender = true;
#else
inline constexpr bool kHaveRender = false;
#endif

// The largest magnification Run.render accepts.
inline constexpr int kMaxRenderScale = 8;

// Opens `given` whole (boat, hull, sea) as `hulvex render` does, composes step `step` and draws it
// at magnification `scale` (1 to kMaxRenderScale) into `rgb`: 300·scale rows of 620·scale pixels,
// 3 bytes (R, G, B) each, no padding. Throws Error when the run cannot be opened, its hull cannot
// be drawn, the step is not there, or the picture drawing is not built. Thread-safe; the drawing
// itself is serialised.
void RenderStep(const std::string& given, std::int32_t step, int scale, std::uint8_t* rgb);

}  // namespace hulvex::python
