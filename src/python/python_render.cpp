#include "python/python_render.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "common/error.h"

#ifdef HULVEX_HAVE_RENDER
#include <QGuiApplication>
#include <QImage>

#include "video/frame_drawing.h"
#include "video/video_player.h"
#endif

namespace hulvex::python {

#ifdef HULVEX_HAVE_RENDER
void RenderStep(const std::string& given, std::int32_t step, int scale, std::uint8_t* rgb) {
  ComposedRunStep c;
  CollectingDiagnostics diag;
  StepFrameRequest options;
  options.run = given;
  options.step = step;
  ComposeRunStep(c, options, diag);

  static std::mutex drawing;
  std::lock_guard lock(drawing);
  // Made once and kept for the life of the process: Python may unload nothing, and a Qt
  // application object destroyed at interpreter exit would outlive the platform it needs.
  static QGuiApplication* const app = EnsureGuiApplication().release();
  (void)app;
  QImage picture = MakeFrameBitmap(scale);
  DrawFrame(picture, c.frame.List, MagnifiedScale(scale), c.step.StepTime, c.step.Channels[kChAcceleration],
            c.step.Channels[kChSpeed], diag);
  const QImage packed = picture.convertToFormat(QImage::Format_RGB888);
  const auto rowBytes = static_cast<std::size_t>(packed.width()) * 3;
  for (int y = 0; y < packed.height(); ++y)
    std::memcpy(rgb + static_cast<std::size_t>(y) * rowBytes, packed.constScanLine(y), rowBytes);
}
#else
void RenderStep(const std::string&, std::int32_t, int, std::uint8_t*) {
  throw Error("This hulvex module was built without the picture drawing (HULVEX_GUI off)");
}
#endif

}  // namespace hulvex::python
