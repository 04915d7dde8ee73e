// Thumbnails: `cinvo --thumbnail` writes the frame the main window's preview
// starts on, scaled, without a window; a file it cannot render gets nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdlib>

#include <sys/stat.h>

#include "tests/app/program_runs.h"
#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"
#include "tests/viewer/graph_test_helpers.h"
#include "tests/viewer/video_test_helpers.h"
#include "platform/thumbnail_cache.h"
#include "viewer/color_control.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// The command as a file manager runs it: no display of any kind.
TRun Thumbnail(const QStringList& arguments) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(name));
  return RunTool(QStringLiteral(CINVO_PROGRAM), QStringList{QStringLiteral("--thumbnail")} + arguments, 60000, env);
}

// Mean difference per colour channel of two pictures of the same size.
double Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  qint64 sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return double(sum) / (3.0 * a.width() * a.height());
}

}  // namespace

TEST(Thumbnail, IsThePreviewsFirstFrameScaledAndTaggedForTheCache) {
  // A picture that scrolls sideways: every second of it looks different.
  const QString movie = videotest::PlainMovie(QStringLiteral("Scrolling"), 320, 240,
                                              QStringLiteral("pattern=smpte horizontal-speed=8"), 120);
  ASSERT_FALSE(movie.isEmpty());

  // The preview's way: render, move to one twelfth of the length, show.
  TFilterGraph graph;
  TDSVideoWindowEx2 window;
  window.resize(400, 300);
  // The preview pane's colours: the default brightness (the user's 5000).
  TColorControl* color = window.ColorControl();
  color->SetBrightness(5000);
  color->SetContrast(10000);
  color->SetSaturation(10000);
  window.show();
  graph.SetActive(true);
  window.SetFilterGraph(&graph);
  graph.RenderMediaFile(movie);
  ASSERT_TRUE(graphtest::WaitFor([&] { return !window.CurrentFrame().isNull(); }, 10000));
  const QImage start = window.CurrentFrame().convertToFormat(QImage::Format_RGB32);
  const quint64 before = window.OwnRenderer()->FramesTaken();
  int64_t stop = 0;
  ASSERT_EQ(graph.MediaSeeking()->GetStopPosition(&stop), S_OK);
  int64_t twelfth = stop / 12;
  graph.MediaSeeking()->SetPositions(&twelfth, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  ASSERT_TRUE(graphtest::WaitFor([&] { return window.OwnRenderer()->FramesTaken() > before; }, 10000));
  const QImage preview = window.CurrentFrame().convertToFormat(QImage::Format_RGB32);

  const QString out = testenv::NewTempDir(QStringLiteral("thumbs")) + QStringLiteral("/thumb.png");
  const TRun run = Thumbnail({movie, out, QStringLiteral("160")});
  ASSERT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  const QImage thumb = QImage(out).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(thumb.size(), QSize(160, 120));
  const auto scaled = [](const QImage& frame) {
    return frame.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  };
  EXPECT_LT(Difference(thumb, scaled(preview)), 12) << "not the preview's frame";
  EXPECT_GT(Difference(thumb, scaled(start)), 30) << "the movie's first frame, not the preview's";
  EXPECT_EQ(platform::PngText(out, QStringLiteral("Thumb::URI")), QString::fromLatin1(QUrl::fromLocalFile(movie).toEncoded()));
  EXPECT_EQ(platform::PngText(out, QStringLiteral("Thumb::MTime")),
            QString::number(QFileInfo(movie).lastModified().toSecsSinceEpoch()));

  // A size above the movie's own leaves it as it is.
  ASSERT_EQ(Thumbnail({movie, out, QStringLiteral("512")}).ExitCode, 0);
  EXPECT_EQ(QImage(out).size(), QSize(320, 240));
}

TEST(Thumbnail, WhatIsNoPlainFileIsRefusedAtOnceSayingWhatItIs) {
  const QString dir = testenv::NewTempDir(QStringLiteral("thumbs"));
  const QString pipe = dir + QStringLiteral("/waiting.avi");
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  const QString out = dir + QStringLiteral("/out.png");
  const TRun fromPipe = Thumbnail({pipe, out, QStringLiteral("128")});
  EXPECT_TRUE(fromPipe.Finished);
  EXPECT_EQ(fromPipe.ExitCode, 1);
  EXPECT_TRUE(fromPipe.Output.contains(QStringLiteral("named pipe"))) << qPrintable(fromPipe.Output);
  const TRun fromFolder = Thumbnail({dir, out, QStringLiteral("128")});
  EXPECT_EQ(fromFolder.ExitCode, 1);
  EXPECT_TRUE(fromFolder.Output.contains(QStringLiteral("folder"))) << qPrintable(fromFolder.Output);
  EXPECT_FALSE(QFileInfo::exists(out));
}

TEST(Thumbnail, AFileWithoutAPictureOrBadArgumentsWritesNothing) {
  const QString dir = testenv::NewTempDir(QStringLiteral("thumbs"));
  const QString kept = dir + QStringLiteral("/kept.png");
  ASSERT_TRUE(testenv::WriteFile(kept, "an earlier thumbnail"));
  using testmovies::TMovieKind;
  for (const TMovieKind kind : {TMovieKind::ZeroByte, TMovieKind::HeaderOnly, TMovieKind::TextFile,
                                TMovieKind::AudioOnly, TMovieKind::UnknownCodecOnly}) {
    const QString movie = testmovies::MovieFile(kind);
    ASSERT_FALSE(movie.isEmpty());
    const QString out = dir + QStringLiteral("/new-%1.png").arg(int(kind));
    const TRun run = Thumbnail({movie, out, QStringLiteral("128")});
    EXPECT_TRUE(run.Finished) << int(kind);
    EXPECT_NE(run.ExitCode, 0) << int(kind);
    EXPECT_FALSE(run.Output.trimmed().isEmpty()) << "no reason given for " << int(kind);
    EXPECT_FALSE(QFileInfo::exists(out)) << int(kind);
    EXPECT_NE(Thumbnail({movie, kept, QStringLiteral("128")}).ExitCode, 0);
  }
  EXPECT_NE(Thumbnail({dir + QStringLiteral("/missing.avi"), kept, QStringLiteral("128")}).ExitCode, 0);
  EXPECT_EQ(testenv::ReadFile(kept), QByteArray("an earlier thumbnail"));

  const QString movie = testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm);
  EXPECT_EQ(Thumbnail({movie, kept, QStringLiteral("large")}).ExitCode, 2);
  EXPECT_EQ(Thumbnail({movie, kept}).ExitCode, 2);
  EXPECT_EQ(testenv::ReadFile(kept), QByteArray("an earlier thumbnail"));
  // Nothing half-written is left beside the output either.
  EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.png")});
}
