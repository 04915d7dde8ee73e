#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "assets/qs_Assets.h"
#include "images/qs_Graphics.h"
#include "images/qs_Jpeg.h"
#include "tests/support/test_env.h"

namespace {

QByteArray EncodedJpeg(const QColor& color, QSize size = QSize(64, 48)) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 95);
  return data;
}

QString ErrorOf(const QByteArray& data) {
  try {
    DecodeJpeg(data);
  } catch (const EInvalidGraphic& e) {
    return e.Message();
  }
  return QString();
}

}  // namespace

TEST(Jpeg, DecodesSizeAndColours) {
  const QImage image = DecodeJpeg(EncodedJpeg(QColor(200, 40, 30)));
  ASSERT_EQ(image.size(), QSize(64, 48));
  const QColor centre = image.pixelColor(32, 24);
  EXPECT_NEAR(centre.red(), 200, 6);
  EXPECT_NEAR(centre.green(), 40, 6);
  EXPECT_NEAR(centre.blue(), 30, 6);

  // Grey-scale pictures come out as RGB as well.
  QImage grey(20, 10, QImage::Format_Grayscale8);
  grey.fill(128);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(grey.save(&buffer, "JPG"));
  const QImage decoded = DecodeJpeg(data);
  EXPECT_EQ(decoded.size(), QSize(20, 10));
  EXPECT_NEAR(qRed(decoded.pixel(5, 5)), 128, 4);
}

TEST(Jpeg, DamagedDataGivesAClearErrorAndNoPicture) {
  const QByteArray good = EncodedJpeg(QColor(10, 120, 200), QSize(128, 128));
  // Truncated after the header, in the middle of the scan, and right after
  // the start marker.
  for (qsizetype cut : {good.size() / 2, good.size() - 20, qsizetype(200), qsizetype(3)}) {
    const QString message = ErrorOf(good.left(cut));
    EXPECT_TRUE(message.startsWith("The JPEG picture is damaged or incomplete")) << cut << ": " << message.toStdString();
  }
  // Garbage after the start marker.
  QByteArray garbage = good.left(4);
  garbage.append(QByteArray(500, '\x37'));
  EXPECT_FALSE(ErrorOf(garbage).isEmpty());
  EXPECT_EQ(ErrorOf(QByteArray()), "The data is not a JPEG picture.");
  EXPECT_EQ(ErrorOf("GIF89a........"), "The data is not a JPEG picture.");

  // A failed load keeps the picture that was there.
  TJPEGImage jpeg;
  jpeg.LoadFromData(good);
  EXPECT_THROW(jpeg.LoadFromData(good.left(good.size() / 2)), EInvalidGraphic);
  EXPECT_EQ(jpeg.Width(), 128);
}

TEST(Jpeg, OversizedHeaderIsRefusedWithoutAllocating) {
  QByteArray data = EncodedJpeg(Qt::white, QSize(16, 16));
  // Rewrite the frame header's height and width to 60000 x 60000.
  const int sof = data.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(sof, 0);
  data[sof + 5] = char(0xEA);
  data[sof + 6] = char(0x60);
  data[sof + 7] = char(0xEA);
  data[sof + 8] = char(0x60);
  EXPECT_EQ(ErrorOf(data), "The JPEG picture has an unsupported size or colour layout.");
}

TEST(Picture, LoadsJpegAsGraphicOtherFormatsAsBitmapsAndKeepsOldOnFailure) {
  const QString dir = testenv::NewTempDir();
  ASSERT_TRUE(testenv::WriteFile(dir + "/strip.bin", EncodedJpeg(Qt::blue)));  // by content, not name
  QImage png(7, 5, QImage::Format_RGB32);
  png.fill(Qt::green);
  ASSERT_TRUE(png.save(dir + "/glyph.png"));

  TPicture picture;
  int changes = 0;
  picture.SetOnChange([&] { ++changes; });
  picture.LoadFromFile(dir + "/strip.bin");
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_FALSE(picture.Graphic()->IsBitmap());
  EXPECT_EQ(picture.Width(), 64);
  picture.LoadFromFile(dir + "/glyph.png");
  ASSERT_NE(picture.Bitmap(), nullptr);
  EXPECT_EQ(picture.Bitmap()->Image().size(), QSize(7, 5));
  EXPECT_EQ(changes, 2);

  ASSERT_TRUE(testenv::WriteFile(dir + "/broken.jpg", EncodedJpeg(Qt::red).left(300)));
  try {
    picture.LoadFromFile(dir + "/broken.jpg");
    ADD_FAILURE() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_TRUE(e.Message().contains("broken.jpg"));
  }
  EXPECT_THROW(picture.LoadFromFile(dir + "/missing.jpg"), EInvalidGraphic);
  ASSERT_TRUE(testenv::WriteFile(dir + "/notes.txt", "plain text"));
  EXPECT_THROW(picture.LoadFromFile(dir + "/notes.txt"), EInvalidGraphic);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(picture.Width(), 7);

  TPicture copy;
  copy.Assign(picture);
  EXPECT_EQ(copy.Width(), 7);
  EXPECT_NE(copy.Graphic(), picture.Graphic());
}

TEST(Assets, EveryImageIsCompiledInAtItsSize) {
  ASSERT_TRUE(AssetsAvailable());
  for (const char* glyph : {kGlyphStop, kGlyphPause, kGlyphRestart, kGlyphStart, kGlyphHideToolbar}) {
    const QImage image(QString::fromLatin1(glyph));
    EXPECT_EQ(image.size(), QSize(22, 22)) << glyph;
    EXPECT_EQ(qAlpha(image.pixel(0, 21)), 0) << glyph;  // transparent corner
  }
  EXPECT_EQ(QImage(QString::fromLatin1(kMakerLogo)).size(), QSize(66, 66));
  EXPECT_EQ(QImage(QString::fromLatin1(kMenuBarPicture)).size(), QSize(20, 18));
  EXPECT_GE(QImage(QString::fromLatin1(kProgramIcon)).width(), 32);

  // The strip is a real JPEG that our own decoder reads, wide enough for the
  // widest dialog on a large screen.
  QFile band(QString::fromLatin1(kPictureBand));
  ASSERT_TRUE(band.open(QIODevice::ReadOnly));
  const QImage strip = DecodeJpeg(band.readAll());
  EXPECT_EQ(strip.height(), 40);
  EXPECT_GE(strip.width(), 1280);
}
