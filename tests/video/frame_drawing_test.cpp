#include "video/frame_drawing.h"

#include "video/frame_composition.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <utility>

namespace hulvex {
namespace {

class ListBuilder {
public:
  ListBuilder& Start(float colour = kStartMarker) { return Add(kStartMarker, colour); }
  ListBuilder& Point(float x, float y) { return Add(x, y); }
  ListBuilder& End() { return Add(kEndLineMarker, 0); }
  ListBuilder& Add(float a, float b) {
    list.pairs[list.count++] = {a, b};
    return *this;
  }
  DisplayList Finish() {
    Add(kEndListMarker, 0);
    return list;
  }
  DisplayList list;
};

bool IsBlack(const QImage& img, int x, int y) { return img.pixel(x, y) == qRgb(0, 0, 0); }
bool IsBlue(const QImage& img, int x, int y) { return img.pixel(x, y) == qRgb(0, 0, 255); }
bool IsWhite(const QImage& img, int x, int y) { return img.pixel(x, y) == qRgb(255, 255, 255); }

// Draws with the readout far from the rows the tests look at.
QImage Draw(const DisplayList& list, CollectingDiagnostics& diag) {
  QImage img = MakeFrameBitmap();
  DrawFrame(img, list, PictureScale{}, 0, 0, 0, diag);
  return img;
}

TEST(FrameDrawing, ScaleMapsBoatLengthsToPixels) {
  CollectingDiagnostics diag;
  // The datum line of an unshifted, level boat at mean sea level: bow origin (120, 180), transom (520, 180).
  const QImage img = Draw(ListBuilder().Start(kColourBlack).Point(0, 0).Point(1, 0).End().Finish(), diag);
  EXPECT_TRUE(diag.messages.empty());
  for (int x = 121; x < 520; ++x) ASSERT_TRUE(IsBlack(img, x, 180)) << x;
  EXPECT_TRUE(IsWhite(img, 119, 180));
  EXPECT_TRUE(IsWhite(img, 521, 180));
  EXPECT_TRUE(IsWhite(img, 300, 179));
  EXPECT_TRUE(IsWhite(img, 300, 181));
}

TEST(FrameDrawing, PixelsRoundHalfToEven) {
  CollectingDiagnostics diag;
  const PictureScale unit{0.0f, 0.0f, 1.0f, 1.0f};  // picture coordinates are pixels
  QImage img = MakeFrameBitmap();
  // 320.5 -> 320 and 100.5 -> 100; 323.5 -> 324 and 150.5 -> 150.
  DrawFrame(img, ListBuilder().Start(kColourBlack).Point(320.5f, 100.5f).Point(320.5f, 120.0f).End()
                     .Start().Point(323.5f, 150.5f).Point(323.5f, 170.0f).End().Finish(),
            unit, 0, 0, 0, diag);
  EXPECT_TRUE(IsBlack(img, 320, 100));
  EXPECT_TRUE(IsWhite(img, 320, 99));
  EXPECT_TRUE(IsWhite(img, 321, 110));
  EXPECT_TRUE(IsBlack(img, 324, 150));
  EXPECT_TRUE(IsWhite(img, 323, 160));
  EXPECT_TRUE(IsWhite(img, 324, 149));
}

TEST(FrameDrawing, ColoursComeFromTheStartPairs) {
  CollectingDiagnostics diag;
  const QImage img = Draw(ListBuilder()
                              .Start(kColourBlue).Point(-0.2f, -0.1f).Point(1.15f, -0.1f).End()
                              .Start().Point(-0.2f, -0.2f).Point(1.15f, -0.2f).End()  // keeps blue
                              .Start(kColourBlack).Point(-0.2f, -0.3f).Point(1.15f, -0.3f).End()
                              .Finish(),
                          diag);
  EXPECT_TRUE(IsBlue(img, 300, 220));
  EXPECT_TRUE(IsBlue(img, 300, 260));
  EXPECT_TRUE(IsBlue(img, 40, 220));
  EXPECT_TRUE(IsBlue(img, 580, 220));
}

TEST(FrameDrawing, BadStartPairIsReportedAndDrawn) {
  CollectingDiagnostics diag;
  const QImage img =
      Draw(ListBuilder().Add(5, kColourBlack).Point(0, -0.1f).Point(1, -0.1f).End().Finish(), diag);
  EXPECT_EQ(diag.messages, std::vector<std::string>{"Disp Err 1"});
  EXPECT_TRUE(IsBlack(img, 300, 220));
}

TEST(FrameDrawing, NonFiniteAndFarPointsNeverBreakTheDrawing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  CollectingDiagnostics diag;
  const QImage img = Draw(ListBuilder()
                              .Start(kColourBlack)
                              .Point(0, -0.1f).Point(0.25f, -0.1f).Point(nan, 0).Point(0.5f, -0.1f).Point(0.75f, -0.1f)
                              .End()
                              .Start().Point(0, -0.2f).Point(1e30f, -0.2f).End()   // clipped at the edge
                              .Start().Point(0, -0.25f).Point(inf, -0.25f).End()   // skipped
                              .Start().Point(-3e38f, 3e38f).Point(3e38f, -3e38f).End()
                              .Finish(),
                          diag);
  EXPECT_TRUE(IsBlack(img, 200, 220));   // before the break
  EXPECT_TRUE(IsWhite(img, 270, 220));   // the break
  EXPECT_TRUE(IsBlack(img, 360, 220));   // after it
  EXPECT_TRUE(IsBlack(img, 619, 260));   // the far line reaches the right edge
  EXPECT_TRUE(IsWhite(img, 300, 280));   // the infinite one is not drawn
}

TEST(FrameDrawing, ListWithoutEndMarkersStopsAtItsCount) {
  CollectingDiagnostics diag;
  ListBuilder b;
  b.Start(kColourBlack).Point(0, 0).Point(1, 0);
  QImage img = MakeFrameBitmap();
  DrawFrame(img, b.list, PictureScale{}, 0, 0, 0, diag);
  EXPECT_TRUE(IsBlack(img, 300, 180));
  DisplayList empty;
  DrawFrame(img, empty, PictureScale{}, 0, 0, 0, diag);
  EXPECT_TRUE(IsWhite(img, 300, 180));
}

TEST(FrameDrawing, ReadoutIsRedOnAWhiteCellAt250By20) {
  CollectingDiagnostics diag;
  // A black line through the text row: the text cell hides it.
  ListBuilder b;
  b.Start(kColourBlack).Point(-0.3f, 0.4f).Point(1.25f, 0.4f).End();  // pixel row 20
  QImage img = MakeFrameBitmap();
  DrawFrame(img, b.Finish(), PictureScale{}, 1.5, 32.18, 1.6866, diag);
  int red = 0, minX = 10000, minY = 10000;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < kFrameWidth; ++x) {
      const QRgb p = img.pixel(x, y);
      if (qRed(p) > 128 && qGreen(p) < 100 && qBlue(p) < 100) {
        ++red;
        minX = std::min(minX, x);
        minY = std::min(minY, y);
      }
    }
  EXPECT_GT(red, 100);
  EXPECT_GE(minX, 250);
  EXPECT_GE(minY, 20);
  EXPECT_TRUE(IsWhite(img, 260, 20));    // the line is hidden under the cell
  EXPECT_TRUE(IsBlack(img, 100, 20));    // and drawn outside it
}

// A level box hull of 40 stations whose bow origin sits at mean sea level, on a flat sea.
QImage LevelBoatPicture(float shift) {
  std::vector<HullSection> sections(41);
  for (auto& sec : sections) {
    sec.KeelZ = 1.0;
    sec.ChineZ = 0.5;
    sec.SheerHeight = 2.0;
  }
  FrameGeometry g;
  g.Length = 25.0f;
  g.LCG = 10.0f;
  g.StemRake = 1.0f;
  g.SheerStem = 2.0f;
  g.StationSpacing = 25.0 / 40;
  g.CgBelowDatum = 0.5;
  g.StationCount = 40;
  g.Stations = sections;
  VideoFrame frame;
  CollectingDiagnostics diag;
  ComposeFrame(frame, g, SeaConstants{}, 0.0, shift, {}, {0, 0, -0.5f}, diag);
  QImage img = MakeFrameBitmap();
  DrawFrame(img, frame.List, PictureScale{}, 0.0, 0.0, 0.0, diag);
  return img;
}

TEST(FrameDrawing, LevelBoatOnAFlatSea) {
  const QImage img = LevelBoatPicture(0.0f);
  // The sea line is pixel row 180 from column 40 to 580, drawn over the hull in blue.
  for (int x = 41; x < 580; ++x) ASSERT_TRUE(IsBlue(img, x, 180)) << x;
  EXPECT_TRUE(IsWhite(img, 38, 180));
  EXPECT_TRUE(IsWhite(img, 582, 180));
  // The transom is pixel column 520 (from sheer at 180 - 32 down to keel at 180 + 16).
  for (int y = 150; y < 195; ++y) ASSERT_FALSE(IsWhite(img, 520, y)) << y;
  EXPECT_TRUE(IsWhite(img, 522, 170));
  // The bow origin is pixel (120, 180): the sea line passes there, the bow line starts there.
  EXPECT_TRUE(IsBlue(img, 120, 180));
  EXPECT_TRUE(IsBlack(img, 119, 178) || IsBlack(img, 120, 179) || IsBlack(img, 119, 179));
  // The line from the bow origin (120, 180) to the stem head (104, 148) rises to the left.
  EXPECT_TRUE(IsBlack(img, 112, 164));
  EXPECT_TRUE(IsBlack(img, 105, 150) || IsBlack(img, 104, 149));
}

TEST(FrameDrawing, ShiftMovesThePicture40PixelsLeft) {
  const QImage a = LevelBoatPicture(0.0f);
  const QImage b = LevelBoatPicture(0.1f);
  for (int y = 60; y < 300; ++y)
    for (int x = 40; x < 580; ++x) ASSERT_EQ(a.pixel(x, y), b.pixel(x - 40, y)) << x << "," << y;
}

}  // namespace
}  // namespace hulvex
