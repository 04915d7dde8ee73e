#include <gtest/gtest.h>

#include <QBuffer>

#include <memory>

#include "controls/qs_Component.h"
#include "images/qs_Jpeg.h"
#include "tests/controls/paint_probe.h"

namespace {

const QColor kRed(0xE0, 0x10, 0x10);
const QColor kBlue(0x10, 0x10, 0xE0);

// A bare panel: no bevel, so the picture area is the whole panel.
TqsPanelPicture* Panel(QWidget* host, QSize size = QSize(60, 60)) {
  auto* panel = new TqsPanelPicture(host);
  panel->SetBevelOuter(bvNone);
  panel->setGeometry(0, 0, size.width(), size.height());
  panel->SetColor(Qt::black);
  return panel;
}

void SetBitmap(TqsPanelPicture* panel, const QImage& image) {
  panel->Picture().SetGraphic(std::make_unique<TBitmap>(image));
}

std::unique_ptr<TJPEGImage> Jpeg(const QImage& image) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 95);
  auto jpeg = std::make_unique<TJPEGImage>();
  jpeg->LoadFromData(data);
  return jpeg;
}

QImage Halves(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kBlue);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 2; ++x) image.setPixelColor(x, y, kRed);
  return image;
}

}  // namespace

TEST(PanelPicture, ReduceFitsALargePictureKeepingItsProportion) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get());
  SetBitmap(panel, probe::Solid(100, 50, kRed, kRed));
  panel->SetStretch(smReduce);
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 60, 30));  // centred, top
  panel->SetAlignmentVert(tvaCenter);
  EXPECT_EQ(panel->PictureRect(), QRect(0, 15, 60, 30));
  panel->SetAlignmentVert(tvaBottomJustify);
  EXPECT_EQ(panel->PictureRect(), QRect(0, 30, 60, 30));
  const QImage image = probe::Grab(panel);
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(0, 30, 60, 30));

  // A tall picture is centred horizontally.
  SetBitmap(panel, probe::Solid(30, 120, kRed, kRed));
  panel->SetAlignmentVert(tvaTopJustify);
  EXPECT_EQ(panel->PictureRect(), QRect(22, 0, 15, 60));
  panel->SetAlignment(taRightJustify);
  EXPECT_EQ(panel->PictureRect(), QRect(45, 0, 15, 60));
}

TEST(PanelPicture, InflateOnlyGrowsPicturesSmallerInBothDirections) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get());
  panel->SetStretch(smInflate);
  panel->SetAlignment(taLeftJustify);
  SetBitmap(panel, Halves(100, 50));
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 60, 50));  // unscaled, cut
  QImage image = probe::Grab(panel);
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(0, 0, 50, 50));
  EXPECT_EQ(probe::BoundsOf(image, kBlue), QRect(50, 0, 10, 50));

  SetBitmap(panel, probe::Solid(20, 10, kRed, kRed));
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 60, 30));
  image = probe::Grab(panel);
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(0, 0, 60, 30));

  panel->SetStretch(smBoth);
  SetBitmap(panel, probe::Solid(100, 50, kRed, kRed));
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 60, 30));
  panel->SetStretch(smNone);
  SetBitmap(panel, probe::Solid(20, 10, kRed, kRed));
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 20, 10));
}

TEST(PanelPicture, CentredPictureWiderThanTheAreaShowsItsLeftPart) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get(), QSize(60, 40));
  SetBitmap(panel, Halves(200, 20));
  ASSERT_EQ(panel->Alignment(), taCenter);
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 60, 20));
  const QImage image = probe::Grab(panel);
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(0, 0, 60, 20));

  // A JPEG is never cut: it is squeezed into the area instead.
  panel->Picture().SetGraphic(Jpeg(Halves(200, 20)));
  EXPECT_EQ(panel->PictureRect(), QRect(0, 0, 60, 20));
  const QImage squeezed = probe::Grab(panel);
  EXPECT_LT(qBlue(squeezed.pixel(55, 10)) - qRed(squeezed.pixel(55, 10)), 255);
  EXPECT_GT(qBlue(squeezed.pixel(55, 10)), 150);  // the blue right half is visible
}

TEST(PanelPicture, BevelsAndBorderShrinkThePictureArea) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get());
  panel->SetBevelOuter(bvRaised);
  panel->SetBevelInner(bvLowered);
  panel->SetBevelWidth(2);
  panel->SetBorderWidth(3);
  EXPECT_EQ(panel->TargetRect(), QRect(7, 7, 46, 46));
  SetBitmap(panel, probe::Solid(10, 10, kRed, kRed));
  panel->SetAlignment(taLeftJustify);
  EXPECT_EQ(probe::BoundsOf(probe::Grab(panel), kRed), QRect(7, 7, 10, 10));
}

TEST(PanelPicture, OnlyABitmapOfThePanelsSizeMakesItOpaque) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get());
  SetBitmap(panel, probe::Solid(60, 60, kRed));
  EXPECT_TRUE(panel->Opaque());
  panel->Picture().SetGraphic(Jpeg(probe::Solid(60, 60, kRed)));
  EXPECT_FALSE(panel->Opaque());
  SetBitmap(panel, probe::Solid(60, 59, kRed));
  EXPECT_FALSE(panel->Opaque());
}

TEST(PanelPicture, TransparencyNeedsABitmapAndAParent) {
  TqsPanelPicture orphan;
  SetBitmap(&orphan, probe::Solid(10, 10, kRed));
  orphan.SetTransparent(true);
  EXPECT_FALSE(orphan.Transparent());

  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get());
  panel->SetTransparent(true);  // no picture yet
  EXPECT_FALSE(panel->Transparent());
  panel->Picture().SetGraphic(Jpeg(probe::Solid(10, 10, kRed)));
  panel->SetTransparent(true);
  EXPECT_FALSE(panel->Transparent());

  QImage picture = probe::Solid(10, 10, kRed, kRed);
  for (int x = 0; x < 10; ++x) picture.setPixelColor(x, 0, Qt::white);  // the colour left out
  SetBitmap(panel, picture);
  panel->SetAlignment(taLeftJustify);
  panel->SetColor(kBlue);
  panel->SetTransparent(true);
  EXPECT_TRUE(panel->Transparent());
  QImage image = probe::Grab(panel);
  EXPECT_EQ(image.pixelColor(3, 0), kBlue);
  EXPECT_EQ(image.pixelColor(3, 1), kRed);
  panel->SetTransparentColor(kRed);
  image = probe::Grab(panel);
  EXPECT_EQ(image.pixelColor(3, 0), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(3, 1), kBlue);
}

TEST(PanelPicture, AutoSizeTakesThePicturesSizeButNotAnEmptyOne) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsPanelPicture* panel = Panel(host.get());
  panel->move(5, 6);
  panel->SetAutoSize(true);
  SetBitmap(panel, QImage());
  EXPECT_EQ(panel->geometry(), QRect(5, 6, 60, 60));
  SetBitmap(panel, probe::Solid(33, 17, kRed));
  EXPECT_EQ(panel->geometry(), QRect(5, 6, 33, 17));
  panel->SetAutoSize(false);
  SetBitmap(panel, probe::Solid(50, 50, kRed));
  EXPECT_EQ(panel->size(), QSize(33, 17));
}

TEST(PanelPicture, FitKeepsProportionsExactly) {
  EXPECT_EQ(FitPicture(100, 50, QRect(0, 0, 60, 60), taLeftJustify, tvaTopJustify), QRect(0, 0, 60, 30));
  EXPECT_EQ(FitPicture(3, 7, QRect(10, 10, 100, 100), taCenter, tvaCenter), QRect(39, 10, 42, 100));
  EXPECT_TRUE(FitPicture(0, 7, QRect(0, 0, 10, 10), taCenter, tvaCenter).isEmpty());
  EXPECT_FALSE(ShouldStretch(smInflate, 100, 50, 60, 60));
  EXPECT_FALSE(ShouldStretch(smInflate, 60, 10, 60, 60));  // equal width is not smaller
  EXPECT_TRUE(ShouldStretch(smReduce, 60, 61, 60, 60));
  EXPECT_FALSE(ShouldStretch(smReduce, 60, 60, 60, 60));
}
