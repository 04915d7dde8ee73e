// Plays a generated movie in the viewer on a real X display and saves what
// the screen shows, for a person to look at:
//   xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' build/tests/viewer/cinvo_viewer_shots /tmp/shots [movie]
// writes toolbar.png (the picture with the toolbar), menu.png and
// menu-display-size.png (the popup menu with its bar caption, then with the
// display sizes open), and normal.png, full-screen.png, 16-9.png for a
// 640 x 272 movie, plus 16-9-standard.png for a 640 x 480 one, and
// 800x600.png / after-800x600.png with the screen settings mode 800 x 600.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

#include "app/pk_param.h"
#include "app/pk_str.h"
#include "assets/qs_Assets.h"
#include "controls/qs_XPMenu.h"
#include "framework/qs_application.h"
#include "framework/qs_contexte.h"
#include "tests/support/display_modes.h"
#include "viewer/pk_fViewer.h"
#include "viewer/video_window.h"

namespace {

QString gDir;

void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The whole screen, as the user sees it (menus are windows of their own).
void Save(const char* name) {
  Wait(600);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  const QString path = gDir + QLatin1Char('/') + QString::fromLatin1(name);
  if (!shot.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// A movie with a moving picture and sound, made by ffmpeg.
QString MakeMovie(const QString& dir, const QString& name, const QString& size) {
  const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".avi");
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) return QString();
  const int code = QProcess::execute(
      ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=25:duration=30", "-f",
               "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=30", "-c:v", "mpeg4", "-vtag", "XVID",
               "-q:v", "3", "-c:a", "libmp3lame", "-b:a", "96k", path});
  return code == 0 ? path : QString();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  // Never the user's own settings, records or sound.
  QTemporaryDir scratch;
  qputenv("CINVO_REGISTRY", (scratch.path() + "/registry.json").toLocal8Bit());
  qputenv("CINVO_LANGUAGES", (scratch.path() + "/Languages").toLocal8Bit());
  qputenv("CINVO_MOVIELIST", (scratch.path() + "/MovieList.ini").toLocal8Bit());
  qputenv("CINVO_AUDIO_SINK", "fakesink sync=true");
  QDir().mkpath(scratch.path() + "/Languages");

  TqsApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
  InstallShadowedHints();
  gDir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(gDir);
  InitializeSettingsUnit();
  InitializeLauncherStrings();
  Parameters().Load();

  // A movie named after the directory is shown instead of the wide one.
  const QString wide = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                : MakeMovie(scratch.path(), QStringLiteral("Wide Movie"), QStringLiteral("640x272"));
  const QString standard = MakeMovie(scratch.path(), QStringLiteral("Standard Movie"), QStringLiteral("640x480"));
  if (wide.isEmpty() || standard.isEmpty()) {
    std::fprintf(stderr, "ffmpeg could not make the movies\n");
    return 1;
  }
  int result = 0;
  try {
    TFrmViewer viewer;
    TMovieData record(wide, true);
    viewer.OpenMovie(wide, &record);
    viewer.ShowToolbar(true);
    Wait(2500);  // the track bar and the labels catch up
    Save("toolbar.png");

    viewer.PopupMenu->popup(QPoint(420, 260));
    Save("menu.png");
    viewer.PopupMenu->setActiveAction(viewer.cmDisplaySize);
    if (QMenu* sizes = viewer.cmDisplaySize->menu())
      sizes->popup(viewer.PopupMenu->actionGeometry(viewer.cmDisplaySize).topRight() + viewer.PopupMenu->pos());
    Save("menu-display-size.png");
    viewer.cmDisplaySize->menu()->hide();
    viewer.PopupMenu->hide();

    viewer.ShowToolbar(false);
    viewer.cmDisplaySizeNormal->trigger();
    Save("normal.png");
    viewer.cmDisplaySizeFullScreen->trigger();
    Save("full-screen.png");
    viewer.cmDisplaySize_16_9->trigger();
    Save("16-9.png");
    viewer.close();

    TMovieData other(standard, true);
    viewer.OpenMovie(standard, &other);
    Save("16-9-standard.png");
    viewer.close();

    // With the screen settings mode "800x600" the display follows the viewer.
    if (testenv::Offer800x600()) {
      Parameters().ScreenSettingsMode = 1;
      viewer.OpenMovie(wide, &record);
      viewer.ShowToolbar(true);
      Wait(1500);
      Save("800x600.png");
      viewer.close();
      Save("after-800x600.png");
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    result = 1;
  }
  ReleaseParameters();
  ReleaseMovieList();
  FinalizeSettingsUnit();
  return result;
}
