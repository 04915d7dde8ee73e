// The real program, started as a person starts it, on the X display the
// suite runs in: a movie on its command line, driven by keys and its popup
// menu through the X server, ended by a signal or killed, started twice.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRect>
#include <QLocalServer>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/pk_param.h"
#include "platform/atomic_write.h"
#include "platform/display_settings.h"
#include "platform/registry.h"
#include "tests/support/display_modes.h"
#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"
#include "tests/support/x11_state.h"

namespace {

using testmovies::TMovieKind;

constexpr int kStartMs = 60000;  // a start under a loaded machine
constexpr int kStepMs = 30000;

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(100);
  }
  return true;
}

// Runs an X tool to its end; its output, or nothing when it failed.
std::optional<QString> Tool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(kStepMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
    return std::nullopt;
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool Xdotool(const QStringList& arguments) { return Tool(QStringLiteral("xdotool"), arguments).has_value(); }

// Where a window is on the screen; empty when it cannot be told.
QRect WindowArea(const QString& window) {
  const auto geometry = Tool(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window});
  if (!geometry) return {};
  QRect area;
  for (const QString& line : geometry->split('\n')) {
    const int value = line.section('=', 1).toInt();
    if (line.startsWith("X=")) area.moveLeft(value);
    if (line.startsWith("Y=")) area.moveTop(value);
    if (line.startsWith("WIDTH=")) area.setWidth(value);
    if (line.startsWith("HEIGHT=")) area.setHeight(value);
  }
  return area;
}

// What a window shows now.
QImage WindowShot(const QString& window) {
  const QRect area = WindowArea(window);
  return area.isEmpty() ? QImage() : x11state::ScreenShot(area);
}

// One run of a program file, in the test's private environment.
class TRun {
 public:
  TRun(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    fProcess.setProcessEnvironment(environment);
    fProcess.start(program, arguments);
    fProcess.waitForStarted();
  }
  ~TRun() {
    if (fProcess.state() != QProcess::NotRunning) {
      fProcess.kill();
      fProcess.waitForFinished();
    }
  }

  qint64 Pid() const { return fProcess.processId(); }

  // Its visible windows whose title contains `name`.
  QStringList Windows(const QString& name = QString()) const {
    QStringList arguments{"search", "--all", "--onlyvisible", "--pid", QString::number(Pid())};
    if (!name.isEmpty()) arguments << "--name" << QRegularExpression::escape(name);
    const auto found = Tool(QStringLiteral("xdotool"), arguments);  // fails when there is none
    return found ? found->split('\n', Qt::SkipEmptyParts) : QStringList();
  }
  QString WaitForWindow(const QString& name, int timeoutMs = kStartMs) const {
    QString window;
    WaitFor(
        [&] {
          const QStringList windows = Windows(name);
          if (!windows.isEmpty()) window = windows.first();
          return !window.isEmpty() || fProcess.state() == QProcess::NotRunning;
        },
        timeoutMs);
    return window;
  }
  bool WaitForWindowGone(const QString& window) const {
    return WaitFor([&] { return !Windows().contains(window); }, kStepMs);
  }

  // Exit code of a normal end; nullopt when it is still running or crashed.
  std::optional<int> WaitForExit(int timeoutMs = kStepMs) {
    if (!fProcess.waitForFinished(timeoutMs) || fProcess.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return fProcess.exitCode();
  }
  bool Running() const { return fProcess.state() != QProcess::NotRunning; }
  void Signal(int signal) { ::kill(static_cast<pid_t>(Pid()), signal); }
  QString ErrorOutput() { return QString::fromLocal8Bit(fProcess.readAllStandardError()); }

  // A key pressed while `window` has the keyboard.
  bool Key(const QString& window, const QString& key) const {
    return Xdotool({"windowfocus", "--sync", window, "key", key});
  }

  // Right click in the middle of `window`, then `steps` times Down (or Up
  // when negative) in its popup menu and Return.
  bool PickMenuItem(const QString& window, int steps) const {
    QStringList keys;
    for (int i = 0; i < std::abs(steps); ++i) keys << (steps > 0 ? "Down" : "Up");
    return PickMenuKeys(window, keys << "Return");
  }

  // Right click in the middle of `window`, then `keys` in its popup menu;
  // true once the menu has gone.
  bool PickMenuKeys(const QString& window, const QStringList& menuKeys) const {
    const QRect area = WindowArea(window);
    if (area.isEmpty()) return false;
    const int x = area.x(), y = area.y(), width = area.width(), height = area.height();
    const QStringList before = Windows();
    QString menu;
    // A click that comes while the window is still being shown can go
    // unanswered: click again until the menu is there.
    for (int attempt = 0; attempt < 10 && menu.isEmpty(); ++attempt) {
      // Move and click in one go: the server takes them in that order.
      if (!Xdotool({"mousemove", QString::number(x + width / 2), QString::number(y + height / 2), "click", "3"}))
        return false;
      WaitFor(
          [&] {
            for (const QString& w : Windows())
              if (!before.contains(w)) menu = w;
            return !menu.isEmpty();
          },
          3000);
    }
    if (menu.isEmpty()) return false;
    const QStringList keys = QStringList{"key"} + menuKeys;
    // The open menu holds the keyboard.
    return Xdotool(keys) && WaitForWindowGone(menu);
  }

  // "Go to" from the popup menu, answered with `answer`.
  bool GoTo(const QString& window, const QString& answer) const {
    if (!PickMenuItem(window, kMenuGoTo)) return false;
    const QString dialog = WaitForWindow(QStringLiteral("Go to position"), kStepMs);
    if (dialog.isEmpty()) return false;
    return Xdotool({"windowfocus", "--sync", dialog, "type", answer}) &&
           Xdotool({"windowfocus", "--sync", dialog, "key", "Return"}) && WaitForWindowGone(dialog);
  }

  // Steps from the top of the viewer's popup menu: Infos, Toolbar, Display
  // size, (Audio, hidden for one sound track), Go to, Play, Pause; Close is
  // the last item.
  static constexpr int kMenuGoTo = 4;
  static constexpr int kMenuPlay = 5;
  static constexpr int kMenuPause = 6;
  static constexpr int kMenuClose = -1;

 private:
  QProcess fProcess;
};


// The movie files below `dir` that the program holds open now: one per
// movie it is playing (the viewer, the preview).
QStringList OpenMovies(qint64 pid, const QString& dir) {
  const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
  QStringList open;
  for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    const QString target = QFile::symLinkTarget(fds + QLatin1Char('/') + fd);
    if (target.startsWith(dir + QLatin1Char('/')) && target.endsWith(QLatin1String(".avi"))) open << target;
  }
  open.sort();
  return open;
}

// Tells when a directory is listed (opened as a directory) by anyone after
// this object was made.
class TDirectoryListings {
 public:
  explicit TDirectoryListings(const QString& dir) : fFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fFd >= 0) ::inotify_add_watch(fFd, QFile::encodeName(dir).constData(), IN_OPEN | IN_ONLYDIR);
  }
  ~TDirectoryListings() {
    if (fFd >= 0) ::close(fFd);
  }
  TDirectoryListings(const TDirectoryListings&) = delete;
  TDirectoryListings& operator=(const TDirectoryListings&) = delete;

  bool WaitForListing(int timeoutMs) {
    return WaitFor(
        [&] {
          alignas(inotify_event) char buffer[4096];
          const ssize_t length = fFd >= 0 ? ::read(fFd, buffer, sizeof buffer) : -1;
          for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_ISDIR) && event->len == 0) return true;  // the directory itself
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
          }
          return false;
        },
        timeoutMs);
  }

 private:
  int fFd;
};

// Where the main window shows the preview and, under it, the six lines of
// information (81 pixels high): right of the list, whatever its width.
QRect PaneArea(const QImage& shot) {
  const int left = shot.width() * 45 / 100;
  return QRect(left, 10, shot.width() - 10 - left, shot.height() - 5 - 81 - 15);
}
QRect LinesArea(const QImage& shot) {
  const int left = shot.width() * 45 / 100;
  return QRect(left, shot.height() - 5 - 81 + 1, shot.width() - 10 - left, 81 - 2);
}

// Pixels in `area` that are not dark: the picture of a movie, the white
// text of the lines; an empty black pane has none.
int LitPixels(const QImage& shot, const QRect& area) {
  int lit = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) lit += qGray(shot.pixel(x, y)) >= 96;
  return lit;
}

// Upward zero crossings per second of the first channel of raw 16-bit
// stereo sound: the pitch of a pure tone; two tones written one after the
// other in pieces come out in between.
double Pitch(const QByteArray& sound, int rate) {
  const auto* samples = reinterpret_cast<const qint16*>(sound.constData());
  const qsizetype frames = sound.size() / 4;
  qint64 crossings = 0;
  for (qsizetype f = 1; f < frames; ++f) crossings += samples[2 * (f - 1)] < 0 && samples[2 * f] >= 0;
  return frames ? double(crossings) * rate / double(frames) : 0;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X display";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) GTEST_SKIP() << "xdotool missing";
    fMovie = testmovies::MovieFile(TMovieKind::HalfMinuteMjpegPcm);
    ASSERT_FALSE(fMovie.isEmpty()) << "cannot make the test movie";
    fDir = testenv::NewTempDir(QStringLiteral("run"));
    QDir(fDir).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(fDir + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    fEnvironment = QProcessEnvironment::systemEnvironment();
    fEnvironment.insert("QT_QPA_PLATFORM", "xcb");
    fEnvironment.insert("CINVO_REGISTRY", HivePath());
    fEnvironment.insert("CINVO_MOVIELIST", MovieListPath());
    fEnvironment.insert("CINVO_LANGUAGES", fDir + "/Languages");
    fEnvironment.insert("CINVO_AUDIO_SINK", "fakesink sync=true");
    fEnvironment.insert("CINVO_ERRORS_TO_STDERR", "1");
    fEnvironment.insert("XDG_RUNTIME_DIR", fDir + "/runtime");
    // Never the desktop's own session bus.
    fEnvironment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + fDir + "/no-bus");
    fScreenBefore = platform::CurrentDisplaySettings();
    x11state::SetSaverTimeout(321);
  }

  void TearDown() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    // Whatever a failed case left behind, the next suite finds the screen
    // as it was.
    if (fScreenBefore) x11state::SetScreenSize(fScreenBefore->Width, fScreenBefore->Height);
    x11state::SetSaverTimeout(-1);
  }

  QString HivePath() const { return fDir + "/registry.json"; }
  QString MovieListPath() const { return fDir + "/MovieList.ini"; }

  std::unique_ptr<TRun> Start(const QStringList& arguments, const QString& program = QStringLiteral(CINVO_PROGRAM)) {
    return std::make_unique<TRun>(program, arguments, fEnvironment);
  }

  void SetScreenSettingsMode(int mode) { SetInitial(QStringLiteral("ScreenSettingsMode"), mode); }

  void SetInitial(const QString& name, int value) {
    platform::TRegistry hive(HivePath());
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), true));
    hive.WriteInteger(name, value);
    hive.CloseKey();
  }
  // A number the program keeps under "Initial"; -1 when there is none.
  int Initial(const QString& name) const {
    platform::TRegistry hive(HivePath());
    if (!hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), false) || !hive.ValueExists(name))
      return -1;
    return hive.ReadInteger(name);
  }

  // What the whole screen shows now.
  QImage Screen() const { return x11state::ScreenShot(QRect(0, 0, fScreenBefore->Width, fScreenBefore->Height)); }

  // The next run lists `movies` (and a stand-in CD directory) and plays
  // with its own viewer.
  void UseLibrary(const QString& movies, const QString& cd = QString()) {
    platform::TRegistry hive(HivePath());
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), true));
    hive.WriteString(QStringLiteral("MovieDir"), movies);
    hive.WriteString(QStringLiteral("CDReader"), cd);
    hive.WriteInteger(QStringLiteral("InternalViewer"), 1);
    hive.CloseKey();
  }

  // A movie appears in `dir` at once, as a move does.
  void MoveIn(const QString& movie, const QString& dir, const QString& name) {
    const QString staged = fDir + QStringLiteral("/staged.avi");
    QFile::remove(staged);
    ASSERT_TRUE(QFile::copy(movie, staged));
    ASSERT_TRUE(QFile::rename(staged, dir + QLatin1Char('/') + name));
  }

  // The main window of a library run, with its first movie previewed.
  QString WaitForPreview(TRun& run, const QString& movies) {
    const QString window = run.WaitForWindow(QStringLiteral("Cinvo"));
    if (window.isEmpty() || !WaitFor([&] { return OpenMovies(run.Pid(), movies).size() == 1; }, kStartMs)) return {};
    return window;
  }

  void SetMovieDir(const QString& dir) {
    platform::TRegistry hive(HivePath());
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), true));
    hive.WriteString(QStringLiteral("MovieDir"), dir);
    hive.CloseKey();
  }

  // A record as if the movie had been seen `count` times.
  void SeenBefore(const QString& movie, int count, int position) {
    TMovieListDocument list(MovieListPath());
    const QString name = QFileInfo(movie).fileName();
    list.WriteString(name, QStringLiteral("ViewCount"), QString::number(count));
    list.WriteString(name, QStringLiteral("ViewPosition"), QString::number(position));
    ASSERT_TRUE(list.Flush());
  }

  // A value of the movie's record as the file holds it now.
  QString Recorded(const QString& movie, const QString& key) const {
    return TMovieListDocument(MovieListPath()).ReadString(QFileInfo(movie).fileName(), key);
  }
  bool HasRecord(const QString& movie) const {
    return TMovieListDocument(MovieListPath()).SectionExists(QFileInfo(movie).fileName());
  }

  QString MovieTitle() const { return QFileInfo(fMovie).completeBaseName(); }

  QString fMovie;
  QString fDir;
  QProcessEnvironment fEnvironment;
  std::optional<platform::DisplaySettings> fScreenBefore;
};

TEST_F(EndToEnd, EscapeStoresOneMoreViewAndTheSecondReachedWhileASecondStartChangesNothing) {
  SeenBefore(fMovie, 3, 0);
  auto run = Start({fMovie});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());

  // Paused, then moved to a known second: what is stored is exactly that.
  ASSERT_TRUE(run->PickMenuItem(viewer, TRun::kMenuPause));
  ASSERT_TRUE(run->GoTo(viewer, QStringLiteral("0:07")));

  // Started meanwhile, with a movie of its own: ends at once, plays nothing.
  const QString other = QDir(fDir).filePath(QStringLiteral("other.avi"));
  ASSERT_TRUE(QFile::copy(fMovie, other));
  const QByteArray recordsBefore = testenv::ReadFile(MovieListPath());
  const QString root = Tool(QStringLiteral("xdotool"), {"search", "--maxdepth", "0", ".*"}).value_or(QString()).trimmed();
  ASSERT_TRUE(Xdotool({"windowfocus", "--sync", root}));  // the keyboard elsewhere
  auto second = Start({other});
  EXPECT_EQ(second->WaitForExit(), 0);
  EXPECT_TRUE(run->Running());
  EXPECT_EQ(testenv::ReadFile(MovieListPath()), recordsBefore);
  // The running viewer came forward and has the keyboard.
  EXPECT_TRUE(WaitFor([&] { return Tool(QStringLiteral("xdotool"), {"getwindowfocus"}).value_or(QString()).trimmed() == viewer; },
                      kStepMs));

  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_EQ(Recorded(fMovie, "ViewCount"), "4");
  EXPECT_EQ(Recorded(fMovie, "ViewPosition"), "7");
  EXPECT_FALSE(HasRecord(other));
}

TEST_F(EndToEnd, MenuCloseStoresTheSecondReachedAndOnlyTheFirstOfTwoMoviesPlays) {
  const QString second = QDir(fDir).filePath(QStringLiteral("second.avi"));
  ASSERT_TRUE(QFile::copy(fMovie, second));
  auto run = Start({fMovie, second});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  EXPECT_TRUE(run->Windows(QStringLiteral("second")).isEmpty());

  ASSERT_TRUE(run->PickMenuItem(viewer, TRun::kMenuPause));
  ASSERT_TRUE(run->GoTo(viewer, QStringLiteral("0:12")));
  ASSERT_TRUE(run->PickMenuItem(viewer, TRun::kMenuClose));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_EQ(Recorded(fMovie, "ViewCount"), "1");
  EXPECT_EQ(Recorded(fMovie, "ViewPosition"), "12");
  EXPECT_FALSE(HasRecord(second));
}

TEST_F(EndToEnd, SigtermWhilePlayingStoresTheViewAndGivesTheScreenBack) {
  ASSERT_TRUE(fScreenBefore);
  if (fScreenBefore->Width <= 800 || fScreenBefore->Height <= 600) GTEST_SKIP() << "screen too small";
  if (!testenv::Offer800x600()) GTEST_SKIP() << "xrandr missing";
  SetScreenSettingsMode(1);
  SeenBefore(fMovie, 1, 0);

  auto run = Start({fMovie});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  EXPECT_TRUE(WaitFor([] { return platform::CurrentDisplaySettings()->Width == 800; }, kStepMs));
  EXPECT_EQ(x11state::SaverTimeout(), 0);

  ASSERT_TRUE(run->PickMenuItem(viewer, TRun::kMenuPause));
  ASSERT_TRUE(run->GoTo(viewer, QStringLiteral("0:05")));
  ASSERT_TRUE(run->PickMenuItem(viewer, TRun::kMenuPlay));
  QElapsedTimer playing;
  playing.start();
  QThread::msleep(1500);
  run->Signal(SIGTERM);
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  const qint64 playedSeconds = playing.elapsed() / 1000;

  EXPECT_EQ(platform::CurrentDisplaySettings()->Width, fScreenBefore->Width);
  EXPECT_EQ(platform::CurrentDisplaySettings()->Height, fScreenBefore->Height);
  EXPECT_EQ(x11state::SaverTimeout(), 321);
  EXPECT_EQ(Recorded(fMovie, "ViewCount"), "2");
  // It played on from 5 seconds until the signal came.
  const int position = Recorded(fMovie, "ViewPosition").toInt();
  EXPECT_GE(position, 5);
  EXPECT_LE(position, 5 + playedSeconds + 1);
}

// The share of the area's pixels that are not dark.
double LitShare(const QImage& shot) {
  if (shot.isNull() || shot.width() * shot.height() == 0) return -1;
  qint64 lit = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) lit += qGray(shot.pixel(x, y)) > 48;
  return double(lit) / (shot.width() * shot.height());
}

// The picture keeps changing: the movie plays (a paused one shows one frame).
bool PictureMoves(const QRect& area) {
  QImage last = x11state::ScreenShot(area);
  int changes = 0;
  return WaitFor(
      [&] {
        const QImage now = x11state::ScreenShot(area);
        if (!now.isNull() && now != last) ++changes;
        last = now;
        return changes >= 3;
      },
      kStepMs);
}

TEST_F(EndToEnd, ADoubleClickOnThePictureTogglesTheToolbarAndThePlayGoesOn) {
  ASSERT_TRUE(fScreenBefore);
  auto run = Start({fMovie});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  // The viewer covers the screen; its toolbar is the bottom strip.
  const int width = fScreenBefore->Width, height = fScreenBefore->Height;
  const QRect picture(width / 4, height / 4, width / 2, height / 2);
  const QRect toolbar(0, height - 27, width, 27);
  ASSERT_TRUE(PictureMoves(picture));
  EXPECT_LT(LitShare(x11state::ScreenShot(toolbar)), 0.5);

  ASSERT_TRUE(Xdotool({"mousemove", QString::number(width / 2), QString::number(height / 2), "click", "--repeat",
                       "2", "--delay", "80", "1"}));
  EXPECT_TRUE(WaitFor([&] { return LitShare(x11state::ScreenShot(toolbar)) > 0.5; }, kStepMs));
  EXPECT_TRUE(PictureMoves(picture));

  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
}

TEST_F(EndToEnd, AKilledRunBlocksNoLaterStart) {
  auto killed = Start({fMovie});
  ASSERT_FALSE(killed->WaitForWindow(MovieTitle()).isEmpty()) << qPrintable(killed->ErrorOutput());
  killed->Signal(SIGKILL);
  EXPECT_EQ(killed->WaitForExit(), std::nullopt);  // crashed: no normal end
  killed.reset();
  EXPECT_TRUE(QFile::exists(fDir + "/runtime/cinvo.lock"));  // left behind
  EXPECT_FALSE(HasRecord(fMovie));

  auto run = Start({fMovie});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  // And it is the running copy now: a later start only ends.
  auto later = Start({fMovie});
  EXPECT_EQ(later->WaitForExit(), 0);
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_EQ(Recorded(fMovie, "ViewCount"), "1");
  EXPECT_FALSE(QFile::exists(fDir + "/runtime/cinvo.lock"));
}

TEST_F(EndToEnd, AMovieThatCannotBePlayedEndsTheRunWithAnErrorAndNoView) {
  ASSERT_TRUE(fScreenBefore);
  const bool switches = fScreenBefore->Width > 800 && fScreenBefore->Height > 600 && testenv::Offer800x600();
  SetScreenSettingsMode(1);
  const QString notAMovie = testmovies::MovieFile(TMovieKind::TextFile);

  auto run = Start({notAMovie});
  const std::optional<int> exitCode = run->WaitForExit(kStartMs);
  ASSERT_TRUE(exitCode);
  EXPECT_NE(*exitCode, 0);
  const QString error = run->ErrorOutput();
  EXPECT_TRUE(error.contains(QStringLiteral("The media type of this file is not recognized ($80040240)."))) << qPrintable(error);
  EXPECT_TRUE(error.contains(notAMovie)) << qPrintable(error);
  EXPECT_FALSE(HasRecord(notAMovie));
  if (switches) {
    EXPECT_EQ(platform::CurrentDisplaySettings()->Width, fScreenBefore->Width);
  }
  EXPECT_EQ(x11state::SaverTimeout(), 321);
}

TEST_F(EndToEnd, EnterOnAMovieThatCannotBePlayedLeavesItsRecordAsItWas) {
  const QString movies = fDir + "/Movies";
  QDir().mkpath(movies);
  const QString broken = movies + "/Broken.avi";
  ASSERT_TRUE(QFile::copy(testmovies::MovieFile(TMovieKind::TextFile), broken));
  {
    platform::TRegistry hive(HivePath());
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), true));
    hive.WriteString(QStringLiteral("MovieDir"), movies);
    hive.WriteString(QStringLiteral("CDReader"), QString());
    hive.CloseKey();
  }
  ASSERT_TRUE(testenv::WriteFile(MovieListPath(), "[Broken.avi]\r\nViewCount=3\r\nViewDate=45000.5\r\n"
                                                  "ViewStrDate=13/03/2023 12:00:00\r\nViewPosition=42\r\n"));
  auto run = Start({});
  const QString window = run->WaitForWindow(QStringLiteral("Cinvo"));
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  // Enter on the selected movie until the program answers by saving the
  // records (without a window manager the window may not have the keyboard
  // at once).
  const platform::TFileStamp before = platform::StampOf(MovieListPath());
  EXPECT_TRUE(WaitFor(
      [&] {
        run->Key(window, QStringLiteral("Return"));
        return platform::StampOf(MovieListPath()) != before;
      },
      kStartMs));
  run->Signal(SIGTERM);
  EXPECT_EQ(run->WaitForExit(), 0);
  EXPECT_TRUE(run->ErrorOutput().contains(QStringLiteral("not recognized")));
  EXPECT_EQ(Recorded(broken, "ViewCount"), "3");
  EXPECT_EQ(Recorded(broken, "ViewDate"), "45000.5");
  EXPECT_EQ(Recorded(broken, "ViewStrDate"), "13/03/2023 12:00:00");
  EXPECT_EQ(Recorded(broken, "ViewPosition"), "42");
}

TEST_F(EndToEnd, WhatIsNoMovieFileIsRefusedAtOnceWithItsNameAndWhy) {
  struct TCase {
    QString Path;
    QString Why;
  };
  std::vector<TCase> cases;
  const QString pipe = fDir + "/pipe.avi";  // nothing ever writes to it
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
  cases.push_back({pipe, "named pipe"});
  QLocalServer server;
  const QString socket = fDir + "/socket.avi";
  ASSERT_TRUE(server.listen(socket)) << qPrintable(server.errorString());
  cases.push_back({socket, "socket"});
  const QString device = fDir + "/device.avi";
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
  cases.push_back({device, "device"});
  const QString locked = fDir + "/locked.avi";
  ASSERT_TRUE(QFile::copy(fMovie, locked));
  ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
  if (::geteuid() != 0) cases.push_back({locked, "Permission denied"});  // root reads it all the same

  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Path.toStdString());
    auto run = Start({c.Path});
    const std::optional<int> exitCode = run->WaitForExit(kStartMs);
    ASSERT_TRUE(exitCode) << "still waiting on the file";
    EXPECT_NE(*exitCode, 0);
    const QString error = run->ErrorOutput();
    EXPECT_TRUE(error.contains(c.Path)) << qPrintable(error);
    EXPECT_TRUE(error.contains(c.Why)) << qPrintable(error);
    EXPECT_FALSE(HasRecord(c.Path));
  }

  // Shown in a message box: a request to end closes it and ends the run.
  fEnvironment.remove("CINVO_ERRORS_TO_STDERR");
  auto shown = Start({pipe});
  ASSERT_FALSE(shown->WaitForWindow(QString()).isEmpty()) << qPrintable(shown->ErrorOutput());
  shown->Signal(SIGTERM);
  EXPECT_TRUE(shown->WaitForExit()) << "the message box outlived the request to end";
}

TEST_F(EndToEnd, ANamedPipeInTheLibraryHoldsNothingUpAndSigtermEndsTheRun) {
  const QString movies = fDir + "/Movies";
  ASSERT_TRUE(QDir().mkpath(movies));
  // The first movie of the list, selected and previewed at start.
  ASSERT_EQ(::mkfifo(QFile::encodeName(movies + "/Aardvark.avi").constData(), 0644), 0);
  ASSERT_TRUE(QFile::copy(fMovie, movies + "/Zebra.avi"));
  SetMovieDir(movies);
  auto run = Start({});
  const QString window = run->WaitForWindow(QStringLiteral("Cinvo"));
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  run->Signal(SIGTERM);
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
}

TEST_F(EndToEnd, ARecordThatCannotBeWrittenAtTheEndIsReported) {
  const QString blocker = fDir + "/not-a-directory";
  ASSERT_TRUE(testenv::WriteFile(blocker, "x"));
  fEnvironment.insert("CINVO_MOVIELIST", blocker + "/MovieList.ini");
  auto run = Start({fMovie});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0);
  EXPECT_TRUE(run->ErrorOutput().contains(QStringLiteral("MovieList.ini")));
}

TEST_F(EndToEnd, AMissingFileOrADirectoryOpensTheMainWindowAndWritesNoRecord) {
  const QString missing = QDir(fDir).filePath(QStringLiteral("gone.avi"));
  for (const QString& argument : {missing, fDir}) {
    SCOPED_TRACE(argument.toStdString());
    auto run = Start({argument});
    const QString window = run->WaitForWindow(QStringLiteral("Cinvo"));
    ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
    ASSERT_TRUE(run->PickMenuItem(window, TRun::kMenuClose));
    EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  }
  EXPECT_FALSE(QFile::exists(MovieListPath()));
  // The parameters are written back at the end of every run.
  platform::TRegistry hive(HivePath());
  ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), false));
  EXPECT_TRUE(hive.ValueExists(QStringLiteral("ScreenSettingsMode")));
}

// ------------------------------------------------------- the main window

TEST_F(EndToEnd, ARefreshWhileTheViewerPlaysStartsNoPreviewAndThePreviewStaysStoppedAfterIt) {
  const QString movies = fDir + QStringLiteral("/Movies");
  ASSERT_TRUE(QDir().mkpath(movies));
  ASSERT_TRUE(QFile::copy(fMovie, movies + QStringLiteral("/Bravo.avi")));
  ASSERT_TRUE(QFile::copy(fMovie, movies + QStringLiteral("/Charlie.avi")));
  UseLibrary(movies);
  auto run = Start({});
  const QString window = WaitForPreview(*run, movies);
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  ASSERT_TRUE(run->Key(window, QStringLiteral("Return")));
  const QString viewer = run->WaitForWindow(QStringLiteral("Bravo"));
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  EXPECT_TRUE(WaitFor([&] { return OpenMovies(run->Pid(), movies) == QStringList{movies + "/Bravo.avi"}; }, kStepMs));

  // A movie copied in: the list is walked again and the first place now
  // holds another movie, yet only the viewer's movie is read.
  TDirectoryListings listings(movies);
  MoveIn(fMovie, movies, QStringLiteral("Alpha.avi"));
  ASSERT_TRUE(listings.WaitForListing(kStepMs)) << "the list was not refreshed";
  // (The viewer's movie may be open twice: its desktop thumbnail is made
  // from it meanwhile.)
  const auto others = [&] {
    QStringList open = OpenMovies(run->Pid(), movies);
    open.removeAll(movies + "/Bravo.avi");
    return open;
  };
  EXPECT_FALSE(WaitFor([&] { return !others().isEmpty(); }, 3000)) << qPrintable(others().join(' '));

  // After the viewer the preview stays stopped: nothing is read, the pane
  // is black.
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  ASSERT_TRUE(run->WaitForWindowGone(viewer));
  EXPECT_TRUE(WaitFor([&] { return OpenMovies(run->Pid(), movies).isEmpty(); }, kStepMs))
      << qPrintable(OpenMovies(run->Pid(), movies).join(' '));
  EXPECT_TRUE(WaitFor(
      [&] {
        const QImage shot = WindowShot(window);
        return !shot.isNull() && LitPixels(shot, PaneArea(shot)) == 0;
      },
      kStepMs));
  run->Signal(SIGTERM);
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
}

TEST_F(EndToEnd, AMovieThePreviewCannotRenderAndAMovieThatIsGoneLeaveABlackPaneAndNoStaleLines) {
  const QString movies = fDir + QStringLiteral("/Movies");
  ASSERT_TRUE(QDir().mkpath(movies));
  ASSERT_TRUE(QFile::copy(fMovie, movies + QStringLiteral("/Alpha.avi")));
  ASSERT_TRUE(QFile::copy(testmovies::MovieFile(TMovieKind::TextFile), movies + QStringLiteral("/Broken.avi")));
  UseLibrary(movies);
  auto run = Start({});
  const QString window = WaitForPreview(*run, movies);
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  const auto shows = [&](const std::function<bool(const QImage&)>& condition) {
    return WaitFor(
        [&] {
          const QImage shot = WindowShot(window);
          return !shot.isNull() && condition(shot);
        },
        kStepMs);
  };
  ASSERT_TRUE(shows([](const QImage& shot) { return LitPixels(shot, PaneArea(shot)) > 0; }))
      << "the first movie's picture is not shown";

  // The next movie cannot be rendered: its lines are shown over a black
  // pane, not under the picture of the movie before.
  ASSERT_TRUE(run->Key(window, QStringLiteral("Down")));
  EXPECT_TRUE(shows([](const QImage& shot) { return LitPixels(shot, PaneArea(shot)) == 0; }));
  const QImage broken = WindowShot(window);
  EXPECT_GT(LitPixels(broken, LinesArea(broken)), 0);

  // Back to the first one, previewed again; then every movie goes: neither
  // its picture nor its lines stay.
  ASSERT_TRUE(run->Key(window, QStringLiteral("Up")));
  ASSERT_TRUE(shows([](const QImage& shot) { return LitPixels(shot, PaneArea(shot)) > 0; }));
  ASSERT_TRUE(QFile::remove(movies + QStringLiteral("/Alpha.avi")));
  ASSERT_TRUE(QFile::remove(movies + QStringLiteral("/Broken.avi")));
  EXPECT_TRUE(shows([](const QImage& shot) {
    return LitPixels(shot, PaneArea(shot)) == 0 && LitPixels(shot, LinesArea(shot)) == 0;
  }));
  EXPECT_TRUE(WaitFor([&] { return OpenMovies(run->Pid(), movies).isEmpty(); }, kStepMs));
  run->Signal(SIGTERM);
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
}

TEST_F(EndToEnd, ThePreviewPlaysTheFirstSoundTrackOnly) {
  const QString movies = fDir + QStringLiteral("/Movies");
  ASSERT_TRUE(QDir().mkpath(movies));
  // 440 Hz in the first track, 1760 Hz in the second.
  ASSERT_TRUE(QFile::copy(testmovies::MovieFile(TMovieKind::TwoAudio), movies + QStringLiteral("/Two Voices.avi")));
  UseLibrary(movies);
  // What the preview makes heard goes to one file.
  const QString sound = fDir + QStringLiteral("/heard.raw");
  fEnvironment.insert("CINVO_AUDIO_SINK",
                      "filesink sync=true append=true buffer-mode=unbuffered location=\"" + sound + "\"");
  auto run = Start({});
  constexpr int kRate = 22050;
  constexpr int kBytesPerSecond = kRate * 2 * 2;
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(sound).size() >= kBytesPerSecond; }, kStartMs))
      << qPrintable(run->ErrorOutput());
  run->Signal(SIGTERM);
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_NEAR(Pitch(testenv::ReadFile(sound), kRate), 440, 40);
}

// Settings saved on a larger screen, or edited by hand: the program starts,
// on the screen, with what it could not use taken as its default.
TEST_F(EndToEnd, BadStoredSettingsStillGiveAStartOnTheScreen) {
  ASSERT_TRUE(fScreenBefore);
  {
    platform::TRegistry hive(HivePath());
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), true));
    hive.WriteInteger(QStringLiteral("Brightness"), 99999);
    hive.CloseKey();
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Settings\\FrmShowcase"), true));
    hive.WriteInteger(QStringLiteral("Left"), fScreenBefore->Width + 1220);
    hive.WriteInteger(QStringLiteral("Top"), fScreenBefore->Height + 776);
    hive.WriteInteger(QStringLiteral("Width"), -50);
    hive.WriteInteger(QStringLiteral("Height"), 0);
    hive.CloseKey();
  }
  auto run = Start({});
  const QString window = run->WaitForWindow(QStringLiteral("Cinvo"));
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  const auto geometry = Tool(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window});
  ASSERT_TRUE(geometry);
  QMap<QString, int> at;
  for (const QString& line : geometry->split('\n', Qt::SkipEmptyParts)) at[line.section('=', 0, 0)] = line.section('=', 1).toInt();
  EXPECT_LE(at["X"], fScreenBefore->Width - 100) << qPrintable(*geometry);
  EXPECT_LT(at["Y"], fScreenBefore->Height - 20) << qPrintable(*geometry);
  EXPECT_GE(at["WIDTH"], 200) << qPrintable(*geometry);
  EXPECT_GE(at["HEIGHT"], 100) << qPrintable(*geometry);
  // Reachable with the mouse: its menu closes it.
  ASSERT_TRUE(run->PickMenuItem(window, TRun::kMenuClose));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_FALSE(run->ErrorOutput().contains(QStringLiteral("out of range")));
  platform::TRegistry hive(HivePath());
  ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Initial"), false));
  EXPECT_EQ(hive.ReadInteger(QStringLiteral("Brightness")), 5000);
}

// A session without a message bus: none is started for the run, not even
// for the toolkit's own use of one (a bus started so would outlive the run).
TEST_F(EndToEnd, WhereTheSessionHasNoBusTheRunStartsNone) {
  const QString bin = fDir + "/bin";
  const QString started = fDir + "/bus-started";
  ASSERT_TRUE(QDir().mkpath(bin));
  // What the bus library runs to start a bus, found first on the path.
  const QString launcher = bin + "/dbus-launch";
  ASSERT_TRUE(testenv::WriteFile(launcher, "#!/bin/sh\ntouch '" + started.toUtf8() + "'\nexit 1\n"));
  ASSERT_TRUE(QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  fEnvironment.remove("DBUS_SESSION_BUS_ADDRESS");
  fEnvironment.insert("PATH", bin + ":" + fEnvironment.value("PATH"));
  auto run = Start({});
  const QString window = run->WaitForWindow(QStringLiteral("Cinvo"));
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  ASSERT_TRUE(run->PickMenuItem(window, TRun::kMenuClose));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_FALSE(QFile::exists(started));
}

TEST_F(EndToEnd, ASizeSavedOnAFarLargerScreenFitsTheScreenWithTheListInSight) {
  ASSERT_TRUE(fScreenBefore);
  {
    platform::TRegistry hive(HivePath());
    ASSERT_TRUE(hive.OpenKey(QStringLiteral("\\Software\\Vessa\\Cinvo\\Settings\\FrmShowcase"), true));
    hive.WriteInteger(QStringLiteral("Left"), -20000);
    hive.WriteInteger(QStringLiteral("Top"), -20000);
    hive.WriteInteger(QStringLiteral("Width"), 30000);
    hive.WriteInteger(QStringLiteral("Height"), 20000);
    hive.CloseKey();
  }
  auto run = Start({});
  const QString window = run->WaitForWindow(QStringLiteral("Cinvo"));
  ASSERT_FALSE(window.isEmpty()) << qPrintable(run->ErrorOutput());
  const QRect area = WindowArea(window);
  EXPECT_TRUE(QRect(0, 0, fScreenBefore->Width, fScreenBefore->Height).contains(area))
      << area.x() << "," << area.y() << " " << area.width() << "x" << area.height();
  ASSERT_TRUE(run->PickMenuItem(window, TRun::kMenuClose));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
}

TEST_F(EndToEnd, CopiesUnderAnotherFileNameRunSideBySide) {
  const QString copy = QDir(fDir).filePath(QStringLiteral("reelbay"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(CINVO_PROGRAM), copy));
  auto first = Start({fMovie});
  const QString firstViewer = first->WaitForWindow(MovieTitle());
  ASSERT_FALSE(firstViewer.isEmpty()) << qPrintable(first->ErrorOutput());

  // Its own records, so neither overwrites the other's.
  fEnvironment.insert("CINVO_MOVIELIST", fDir + "/ReelbayList.ini");
  auto second = Start({fMovie}, copy);
  const QString secondViewer = second->WaitForWindow(MovieTitle());
  ASSERT_FALSE(secondViewer.isEmpty()) << qPrintable(second->ErrorOutput());
  EXPECT_TRUE(first->Running());

  ASSERT_TRUE(second->Key(secondViewer, QStringLiteral("Escape")));
  EXPECT_EQ(second->WaitForExit(), 0);
  ASSERT_TRUE(first->Key(firstViewer, QStringLiteral("Escape")));
  EXPECT_EQ(first->WaitForExit(), 0);
  EXPECT_EQ(Recorded(fMovie, "ViewCount"), "1");
  EXPECT_EQ(TMovieListDocument(fDir + "/ReelbayList.ini").ReadString(QFileInfo(fMovie).fileName(), "ViewCount"),
            "1");
}

// ------------------------------------------------ today's movies and habits

// Pixels of `area` that read as the white of a subtitle.
int WhitePixels(const QImage& image, const QRect& area) {
  int count = 0;
  const QRect inside = area & image.rect();
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200) ++count;
    }
  return count;
}

bool Near(QRgb pixel, QColor expected) {
  return std::abs(qRed(pixel) - expected.red()) < 70 && std::abs(qGreen(pixel) - expected.green()) < 70 &&
         std::abs(qBlue(pixel) - expected.blue()) < 70;
}

// Where a picture of that shape is shown whole inside `outer`.
QRect LetterBox(const QRect& outer, QSize picture) {
  picture.scale(outer.size(), Qt::KeepAspectRatio);
  return QRect(outer.x() + (outer.width() - picture.width()) / 2, outer.y() + (outer.height() - picture.height()) / 2,
               picture.width(), picture.height());
}

// The loudest sample of 16-bit mono sound between two byte offsets.
int Peak(const QString& file, qint64 from, qint64 to) {
  QFile sound(file);
  if (!sound.open(QIODevice::ReadOnly) || !sound.seek(from & ~1)) return -1;
  const QByteArray data = sound.read(to - (from & ~1));
  int peak = 0;
  for (qsizetype i = 0; i + 1 < data.size(); i += 2)
    peak = std::max(peak, std::abs(int(qint16(quint8(data[i]) | (quint8(data[i + 1]) << 8)))));
  return peak;
}

TEST_F(EndToEnd, VolumeKeysChangeTheLevelAtTheSoundOutputAndTheLevelIsKept) {
  // The sound output is a file, written as the movie plays: 22050 samples
  // of 2 bytes a second.
  constexpr qint64 kSecond = 44100;
  const auto output = [this](const QString& file) {
    fEnvironment.insert("CINVO_AUDIO_SINK",
                        "audioconvert ! audio/x-raw,format=S16LE,channels=1,rate=22050 ! filesink sync=true location=" + file);
  };
  const QString first = fDir + "/first.raw";
  output(first);
  auto run = Start({fMovie});
  const QString viewer = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(first).size() >= 2 * kSecond; }, kStepMs));
  qint64 size = QFileInfo(first).size();
  const int full = Peak(first, size - kSecond / 2, size);
  ASSERT_GT(full, 10000);

  for (int i = 0; i < 10; ++i) ASSERT_TRUE(run->Key(viewer, QStringLiteral("Down")));  // 100 % -> 50 %
  size = QFileInfo(first).size();
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(first).size() >= size + 3 * kSecond / 2; }, kStepMs));
  size = QFileInfo(first).size();
  const int half = Peak(first, size - kSecond / 2, size);
  // 50 % is -7.5 dB: 0.42 of full scale.
  EXPECT_NEAR(double(half) / full, 0.42, 0.08) << half << " of " << full;
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_EQ(Initial("Volume"), 50);
  EXPECT_EQ(Initial("Muted"), 0);

  // The next run starts at that level; M silences it, and that is kept too.
  const QString second = fDir + "/second.raw";
  output(second);
  run = Start({fMovie});
  const QString again = run->WaitForWindow(MovieTitle());
  ASSERT_FALSE(again.isEmpty()) << qPrintable(run->ErrorOutput());
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(second).size() >= 2 * kSecond; }, kStepMs));
  EXPECT_NEAR(double(Peak(second, kSecond / 2, 2 * kSecond)) / full, 0.42, 0.08);
  ASSERT_TRUE(run->Key(again, QStringLiteral("m")));
  size = QFileInfo(second).size();
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(second).size() >= size + 3 * kSecond / 2; }, kStepMs));
  size = QFileInfo(second).size();
  EXPECT_LT(Peak(second, size - kSecond / 2, size), full / 100);
  ASSERT_TRUE(run->Key(again, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_EQ(Initial("Volume"), 50);
  EXPECT_EQ(Initial("Muted"), 1);
}

TEST_F(EndToEnd, SubtitlesBesideAndInsideTheMovieShowOverThePictureAndTheChoiceIsKept) {
  // A file beside the movie, in the normal display size.
  const QString movie = QDir(fDir).filePath(QStringLiteral("Dark.avi"));
  ASSERT_TRUE(QFile::copy(testmovies::MovieFile(TMovieKind::DarkHalfMinute), movie));
  ASSERT_TRUE(testenv::WriteFile(fDir + "/Dark.srt", "1\r\n00:00:00,000 --> 00:10:00,000\r\nWWWW MMMM WWWW\r\n\r\n"));
  SetInitial(QStringLiteral("ViewMode"), 0);
  auto run = Start({movie});
  QString viewer = run->WaitForWindow(QStringLiteral("Dark"));
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  const QRect picture = LetterBox(WindowArea(viewer), QSize(320, 240));
  const QRect foot(picture.x(), picture.y() + picture.height() * 3 / 5, picture.width(), picture.height() * 2 / 5);
  EXPECT_TRUE(WaitFor([&] { return WhitePixels(Screen(), foot) > 200; }, kStepMs)) << "no subtitle painted";

  // "Subtitles" is the fourth entry (no "Audio" for one sound track); "Off"
  // the first of its own.
  ASSERT_TRUE(run->PickMenuKeys(viewer, {"Down", "Down", "Down", "Down", "Right", "Return"}));
  EXPECT_TRUE(WaitFor([&] { return WhitePixels(Screen(), foot) == 0; }, kStepMs)) << "still painted";
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0) << qPrintable(run->ErrorOutput());
  EXPECT_EQ(Recorded(movie, "Subtitle"), "0");

  // The next opening keeps it off: the picture shows, the text does not.
  run = Start({movie});
  viewer = run->WaitForWindow(QStringLiteral("Dark"));
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  ASSERT_TRUE(WaitFor([&] { return Near(Screen().pixel(picture.center()), QColor(0x10, 0x10, 0x60)); }, kStepMs));
  for (int shot = 0; shot < 5; ++shot) EXPECT_EQ(WhitePixels(Screen(), foot), 0);
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0);

  // A text track the movie marks as its default, in the 16:9 display
  // size: the picture is wider than 16:9, so it is cropped to a band, and
  // the text stays inside the band.
  SetInitial(QStringLiteral("ViewMode"), 2);
  const QString mkv = testmovies::MovieFile(TMovieKind::SubtitledMkv);
  ASSERT_FALSE(mkv.isEmpty());
  run = Start({mkv});
  viewer = run->WaitForWindow(QFileInfo(mkv).completeBaseName());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  const QRect screen = WindowArea(viewer);
  const int bandHeight = screen.width() * 9 / 16;
  const QRect band(screen.x(), screen.y() + (screen.height() - bandHeight) / 2, screen.width(), bandHeight);
  const QRect bandFoot(band.x(), band.y() + band.height() / 2, band.width(), band.height() / 2);
  QImage shot;
  EXPECT_TRUE(WaitFor(
      [&] {
        shot = Screen();
        return WhitePixels(shot, bandFoot) > 200;
      },
      kStepMs))
      << "no subtitle in the band";
  EXPECT_EQ(WhitePixels(shot, QRect(screen.x(), band.bottom() + 1, screen.width(), screen.bottom() - band.bottom())), 0)
      << "text below the picture";
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0);
  EXPECT_EQ(Recorded(mkv, "Subtitle"), "") << "the movie's own choice is not the user's";
}

TEST_F(EndToEnd, AMovieWithARotationTagIsShownUpright) {
  SetInitial(QStringLiteral("ViewMode"), 0);
  const QString movie = testmovies::MovieFile(TMovieKind::RotatedMp4);
  ASSERT_FALSE(movie.isEmpty());
  auto run = Start({movie});
  const QString viewer = run->WaitForWindow(QFileInfo(movie).completeBaseName());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  // Upright it is taller than wide, red above blue, with bars at the sides.
  const QRect picture = LetterBox(WindowArea(viewer), QSize(240, 320));
  const QPoint top(picture.center().x(), picture.y() + picture.height() / 5);
  const QPoint bottom(picture.center().x(), picture.bottom() - picture.height() / 5);
  const QPoint side(picture.x() / 2, picture.center().y());
  QImage shot;
  EXPECT_TRUE(WaitFor(
      [&] {
        shot = Screen();
        return Near(shot.pixel(top), Qt::red) && Near(shot.pixel(bottom), Qt::blue);
      },
      kStepMs))
      << "top " << std::hex << shot.pixel(top) << " bottom " << shot.pixel(bottom);
  EXPECT_TRUE(Near(shot.pixel(side), Qt::black)) << std::hex << shot.pixel(side);
  ASSERT_TRUE(run->Key(viewer, QStringLiteral("Escape")));
  EXPECT_EQ(run->WaitForExit(), 0);
}

TEST_F(EndToEnd, AKilledViewerLeavesThePositionOfAtMostHalfAMinuteBefore) {
  const QString movie = testmovies::MovieFile(TMovieKind::LongVideoOnly);
  ASSERT_FALSE(movie.isEmpty());
  SeenBefore(movie, 2, 0);
  auto run = Start({movie});
  const QString viewer = run->WaitForWindow(QFileInfo(movie).completeBaseName());
  ASSERT_FALSE(viewer.isEmpty()) << qPrintable(run->ErrorOutput());
  QElapsedTimer playing;
  playing.start();
  // The kill comes 75 seconds in, whatever the program is doing.
  WaitFor([&] { return playing.elapsed() >= 75000; }, 90000);
  run->Signal(SIGKILL);
  EXPECT_EQ(run->WaitForExit(), std::nullopt);
  const int position = Recorded(movie, "ViewPosition").toInt();
  EXPECT_GE(position, 75 - 30);
  EXPECT_LE(position, 75);
  EXPECT_EQ(Recorded(movie, "ViewCount"), "2") << "no view counted by the saves";
}

}  // namespace
