#include "video/frame_drawing.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <optional>

#include "common/vector_state.h"
#include "video/readout.h"

namespace hulvex {
namespace {

// Lines are clipped to the picture widened by this margin (pixels) before rounding, so far-away
// points never reach an integer conversion, while every visible pixel of a line stays where it was.
constexpr double kClipMargin = 4096.0;

struct ClipBox {
  double min;
  double maxX;
  double maxY;
};

struct PixelPoint {
  double x;
  double y;
};

// A colour in the 0x00BBGGRR form.
QColor ColourOf(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

// The colour of a start pair's second value.
QColor ColourOf(float value) {
  if (!std::isfinite(value)) return QColor(0, 0, 0);
  const double rounded = std::nearbyint(static_cast<double>(value));
  return ColourOf(static_cast<std::uint32_t>(static_cast<std::int64_t>(std::fmod(rounded, 4294967296.0))));
}

std::optional<PixelPoint> ToPixel(const DisplayPair& p, const PictureScale& s) {
  const double x = static_cast<double>(s.ScaleX) * p.a + s.OriginX;
  const double y = static_cast<double>(s.ScaleY) * p.b + s.OriginY;
  if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
  return PixelPoint{x, y};
}

// Liang-Barsky clipping of the segment a-b to the clip rectangle; false when nothing is left.
bool Clip(PixelPoint& a, PixelPoint& b, const ClipBox& box) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - box.min, box.maxX - a.x, a.y - box.min, box.maxY - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
  }
  const PixelPoint a0 = a;
  a = {a0.x + t0 * dx, a0.y + t0 * dy};
  b = {a0.x + t1 * dx, a0.y + t1 * dy};
  return true;
}

// Pixel of a clipped coordinate, rounded to nearest with halves to even.
int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

// The picture's typeface at magnification k: size 10 at 96 dots per inch, solid glyphs like the
// lines (the picture holds only its own colours).
QFont PictureFont(int k) {
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(13 * k);
  font.setStyleHint(QFont::TypeWriter);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// A black frame k pixels wide just inside `box`.
void DrawBoxFrame(QPainter& painter, const QRect& box, int k) {
  const QColor black(0, 0, 0);
  painter.fillRect(QRect(box.left(), box.top(), box.width(), k), black);
  painter.fillRect(QRect(box.left(), box.bottom() + 1 - k, box.width(), k), black);
  painter.fillRect(QRect(box.left(), box.top(), k, box.height()), black);
  painter.fillRect(QRect(box.right() + 1 - k, box.top(), k, box.height()), black);
}

// Readies `painter` to draw inside `box` (clipped, no antialiasing): the box cleared to white in a
// black frame, and the picture's font at magnification k.
void BeginFramedBox(QPainter& painter, const QRect& box, int k) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(box);
  painter.fillRect(box, Qt::white);
  DrawBoxFrame(painter, box, k);
  painter.setFont(PictureFont(k));
}

// Draws the polylines of `list` with solid pens scale.Magnification pixels wide, no
// antialiasing: in the list's own colours, or all in `only` when given.
void DrawList(QPainter& painter, const QImage& bitmap, const DisplayList& list, const PictureScale& scale,
              const std::optional<QColor>& only, Diagnostics& diag) {
  const int k = std::max(1, scale.Magnification);
  const ClipBox box{-kClipMargin, bitmap.width() + kClipMargin, bitmap.height() + kClipMargin};
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(only.value_or(QColor(0, 0, 0)));
  pen.setWidth(k);
  pen.setStyle(Qt::SolidLine);
  pen.setCosmetic(true);
  painter.setPen(pen);

  const std::size_t count = std::min(list.count, list.pairs.size());
  std::size_t i = 0;
  while (i < count) {
    const DisplayPair start = list.pairs[i];
    if (start.a != kStartMarker) diag.Message("display-list", "Disp Err 1");
    if (start.b != kStartMarker && !only) {
      pen.setColor(ColourOf(start.b));
      painter.setPen(pen);
    }
    ++i;
    std::optional<PixelPoint> previous;
    for (; i < count && list.pairs[i].a != kEndLineMarker; ++i) {
      const std::optional<PixelPoint> current = ToPixel(list.pairs[i], scale);
      if (previous && current) {
        PixelPoint a = *previous, b = *current;
        if (Clip(a, b, box)) {
          painter.drawLine(Round(a.x), Round(a.y), Round(b.x), Round(b.y));
          ClearUpperVectorState();
        }
      }
      previous = current;
    }
    ++i;  // the end-of-line marker
    if (i >= count || list.pairs[i].a == kEndListMarker) break;
  }
}

}  // namespace

QImage MakeFrameBitmap(int magnification) {
  const int k = std::max(1, magnification);
  QImage image(kFrameWidth * k, kFrameHeight * k, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

void DrawFrame(QImage& bitmap, const DisplayList& list, const PictureScale& scale, double T, double Accel,
               double Speed, Diagnostics& diag) {
  bitmap.fill(Qt::white);
  ClearUpperVectorState();  // Qt's painting leaves the vector registers in use (see vector_state.h)
  const int k = std::max(1, scale.Magnification);
  QPainter painter(&bitmap);
  DrawList(painter, bitmap, list, scale, std::nullopt, diag);

  const QFont font = PictureFont(k);
  painter.setFont(font);
  const QString text = QString::fromLatin1(ReadoutText(T, Accel, Speed));
  const QFontMetrics metrics(font);
  const QRect cell(250 * k, 20 * k, metrics.horizontalAdvance(text), metrics.height());
  painter.fillRect(cell, Qt::white);
  painter.setPen(ColourOf(static_cast<std::uint32_t>(kColourRed)));
  painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, text);
  painter.end();
  ClearUpperVectorState();
}

void DrawOverlayRun(QImage& picture, const DisplayList& list, RunRgb colour, const PictureScale& scale,
                    Diagnostics& diag) {
  ClearUpperVectorState();
  QPainter painter(&picture);
  DrawList(painter, picture, list, scale, QColor(colour.R, colour.G, colour.B), diag);
  painter.end();
  ClearUpperVectorState();
}

QRect RunNameBox(const QRect& pane, int magnification) {
  const int k = std::max(1, magnification);
  return QRect(pane.left(), pane.bottom() + 1 - kNameBoxHeight * k, kNameBoxWidth * k, kNameBoxHeight * k);
}

void DrawRunNameBox(QImage& picture, const QRect& pane, const std::string& name, int magnification) {
  const int k = std::max(1, magnification);
  const QRect box = RunNameBox(pane, k);
  ClearUpperVectorState();
  QPainter painter(&picture);
  BeginFramedBox(painter, box, k);
  const QRect text = box.adjusted(4 * k, 0, -4 * k, 0);
  painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(PictureFont(k)).elidedText(QString::fromStdString(name), Qt::ElideRight, text.width()));
  painter.end();
  ClearUpperVectorState();
}

QRect OverlayLegendBox(int runs, int magnification) {
  const int k = std::max(1, magnification);
  return QRect(0, 0, kNameBoxWidth * k, (kLegendRowHeight * std::max(0, runs) + 4) * k);
}

void DrawOverlayLegend(QImage& picture, std::span<const std::string> names, int magnification) {
  const int k = std::max(1, magnification);
  const QRect box = OverlayLegendBox(static_cast<int>(names.size()), k);
  ClearUpperVectorState();
  QPainter painter(&picture);
  BeginFramedBox(painter, box, k);
  const QFontMetrics metrics(PictureFont(k));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int top = (2 + kLegendRowHeight * static_cast<int>(i)) * k;
    const RunRgb c = RunColour(static_cast<int>(i));
    painter.fillRect(QRect(4 * k, top + 7 * k, 20 * k, 3 * k), QColor(c.R, c.G, c.B));
    const QRect text(30 * k, top, box.width() - 34 * k, kLegendRowHeight * k);
    painter.setPen(Qt::black);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(QString::fromStdString(names[i]), Qt::ElideRight, text.width()));
  }
  painter.end();
  ClearUpperVectorState();
}

std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The toolkit's own notes (a missing runtime directory, say) are not the tool's messages.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "%s\n", qPrintable(text));
  });
  static int argc = 1;
  static char name[] = "hulvex";
  static char* argv[] = {name, nullptr};
  auto app = std::make_unique<QGuiApplication>(argc, argv);
  ClearUpperVectorState();  // its creation leaves the vector registers in use (common/vector_state.h)
  return app;
}

}  // namespace hulvex
