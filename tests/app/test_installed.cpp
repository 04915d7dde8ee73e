// Cinvo as installed: `cmake --install` into a temporary prefix, the
// installed files checked by the desktop's own validators, and the installed
// program run as a desktop runs it: from a read-only program directory, and
// through its desktop entry's Exec line as a file manager opens a movie.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <functional>

#include "tests/app/program_runs.h"
#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const QString kAppId = QStringLiteral("com.vessa.Cinvo");

// The processes running the program file `exe`.
QList<qint64> ProcessesOf(const QString& exe) {
  QList<qint64> pids;
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number) continue;
    if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == QFileInfo(exe).canonicalFilePath())
      pids.append(pid);
  }
  return pids;
}

// A visible top-level window of process `pid` (X11, through xdotool).
bool HasVisibleWindow(qint64 pid) {
  const TRun run = RunTool(QStringLiteral("xdotool"),
                       {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                        QString::number(pid)},
                       10000);
  return run.Finished && run.ExitCode == 0 && !run.Output.trimmed().isEmpty();
}

// The installed prefix, shared by the cases of this binary (installing costs).
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = new QString(testenv::NewTempDir(QStringLiteral("prefix")));
    const TRun run = RunTool(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(CINVO_BUILD_DIR),
                                                   QStringLiteral("--prefix"), *prefix_});
    installed_ = run.Finished && run.ExitCode == 0;
    if (!installed_) std::fprintf(stderr, "install failed: %s\n", qPrintable(run.Output));
  }
  static void TearDownTestSuite() {
    delete prefix_;
    prefix_ = nullptr;
  }

  void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed"; }

  static QString Prefix() { return *prefix_; }
  static QString Share(const QString& relative) { return *prefix_ + QStringLiteral("/share/") + relative; }
  static QString Program() { return *prefix_ + QStringLiteral("/bin/cinvo"); }

  // What a desktop session gives the program: a display, a home with the
  // freedesktop directories, its own runtime directory (the single-instance
  // lock lives there), and none of the test overrides of the file places.
  QProcessEnvironment SessionEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    home_ = testenv::NewTempDir(QStringLiteral("home"));
    env.insert(QStringLiteral("HOME"), home_);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home_ + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/config"));
    const QString runtime = testenv::NewTempDir(QStringLiteral("runtime"));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_DATA_DIRS"), *prefix_ + QStringLiteral("/share"));
    env.insert(QStringLiteral("PATH"), *prefix_ + QStringLiteral("/bin:") + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("CINVO_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
    env.remove(QStringLiteral("CINVO_MOVIELIST"));
    env.remove(QStringLiteral("CINVO_LANGUAGES"));
    // Never the desktop's own bus, and no address at all would have the
    // toolkit try to start a session bus of its own: one that leads nowhere.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + home_ + QStringLiteral("/no-bus"));
    return env;
  }

  // A long movie (it must still be playing when the test ends it) under a
  // name of the test's choosing.
  QString Movie(const QString& name) {
    const QString source = testmovies::MovieFile(testmovies::TMovieKind::TwoAudioLong);
    if (source.isEmpty()) return QString();
    const QString path = testenv::NewTempDir(QStringLiteral("movies")) + QLatin1Char('/') + name;
    return QFile::copy(source, path) ? path : QString();
  }

  QString home_;
  static inline QString* prefix_ = nullptr;
  static inline bool installed_ = false;
};

// Ends a running copy as the desktop does at log-out, and waits for it.
bool EndProcess(qint64 pid) {
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  return WaitUntil([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1/exe").arg(pid)) ||
                                QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget().isEmpty(); });
}

}  // namespace

TEST_F(Installed, EntryMetainfoIconsAndLanguagesAreInstalledAndValid) {
  EXPECT_TRUE(QFileInfo(Program()).isExecutable());

  const QString entry = Share(QStringLiteral("applications/") + kAppId + QStringLiteral(".desktop"));
  TRun run = RunTool(QStringLiteral("desktop-file-validate"), {entry});
  ASSERT_TRUE(run.Finished) << "desktop-file-validate is missing (make deps)";
  EXPECT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  EXPECT_EQ(run.Output.trimmed(), QString()) << "hints or warnings";
  const QStringList lines = QString::fromUtf8(testenv::ReadFile(entry)).split(QLatin1Char('\n'));
  EXPECT_TRUE(lines.contains(QStringLiteral("Exec=cinvo %f")));
  const QStringList mimeLines = lines.filter(QRegularExpression(QStringLiteral("^MimeType=")));
  ASSERT_EQ(mimeLines.size(), 1);
  const QStringList mime = mimeLines.first().mid(9).split(QLatin1Char(';'));
  // Every type the graph plays, so a file manager offers the program for it.
  const QStringList played = {"video/x-msvideo", "video/avi",  "video/msvideo",   "video/vnd.avi", "video/x-matroska",
                              "video/mp4",       "video/webm", "video/quicktime", "video/mpeg",    "video/mp2t",
                              "video/ogg",       "video/x-ms-wmv", "video/x-flv",  "video/3gpp"};
  for (const QString& type : played) EXPECT_TRUE(mime.contains(type)) << type.toStdString();

  const QString metainfo = Share(QStringLiteral("metainfo/") + kAppId + QStringLiteral(".metainfo.xml"));
  run = RunTool(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
  ASSERT_TRUE(run.Finished) << "appstreamcli is missing (make deps)";
  EXPECT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  EXPECT_FALSE(run.Output.contains(QStringLiteral("W:"))) << run.Output.toStdString();
  const QString description = QString::fromUtf8(testenv::ReadFile(metainfo));
  for (const QString& type : played)
    EXPECT_TRUE(description.contains(QStringLiteral("<mediatype>%1</mediatype>").arg(type))) << type.toStdString();

  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QImage icon(Share(QStringLiteral("icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
    ASSERT_FALSE(icon.isNull()) << size;
    EXPECT_EQ(icon.size(), QSize(size, size));
    // Drawn, not blank: the middle of the icon is opaque.
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
  }
  // The scalable icon is the same drawing: rendered at 64 pixels it matches
  // the 64-pixel bitmap.
  QSvgRenderer svg(Share(QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(kAppId)));
  ASSERT_TRUE(svg.isValid());
  QImage drawn(64, 64, QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  {
    QPainter painter(&drawn);
    svg.render(&painter);
  }
  const QImage bitmap =
      QImage(Share(QStringLiteral("icons/hicolor/64x64/apps/%1.png").arg(kAppId))).convertToFormat(drawn.format());
  qint64 difference = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const QRgb a = drawn.pixel(x, y), b = bitmap.pixel(x, y);
      difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) +
                    std::abs(qAlpha(a) - qAlpha(b));
    }
  EXPECT_LT(difference / (64 * 64 * 4), 8) << "the scalable icon is not the same drawing";

  EXPECT_TRUE(QFileInfo::exists(Share(QStringLiteral("cinvo/Languages/About.txt"))));
}

// The installed program directory cannot be written: the records of a movie
// played by direct play land in the user's data directory, not nowhere.
TEST_F(Installed, ReadOnlyProgramDirectoryKeepsTheRecordsInTheUsersDataDirectory) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X11 display";
  const QByteArray prefix = QFile::encodeName(Prefix());
  if (::mount(prefix.constData(), prefix.constData(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "no bind mount is permitted here: " << std::strerror(errno);
  struct Unmount {
    QByteArray path;
    ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
  } unmount{prefix};
  if (::mount(nullptr, prefix.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
    GTEST_SKIP() << "the bind mount cannot be made read-only here: " << std::strerror(errno);
  ASSERT_NE(::access(QFile::encodeName(Prefix() + QStringLiteral("/bin")).constData(), W_OK), 0);

  const QString movie = Movie(QStringLiteral("Evening Movie.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";
  const QProcessEnvironment env = SessionEnvironment();
  QProcess cinvo;
  cinvo.setProcessEnvironment(env);
  cinvo.setProcessChannelMode(QProcess::ForwardedChannels);
  cinvo.start(Program(), {movie});
  ASSERT_TRUE(cinvo.waitForStarted(30000));
  ASSERT_TRUE(WaitUntil([&] { return HasVisibleWindow(cinvo.processId()); })) << "the viewer never showed";
  QThread::msleep(1500);  // some viewing
  ::kill(static_cast<pid_t>(cinvo.processId()), SIGTERM);
  ASSERT_TRUE(cinvo.waitForFinished(60000));
  EXPECT_EQ(cinvo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(cinvo.exitCode(), 0);

  const QString records = home_ + QStringLiteral("/data/Cinvo/MovieList.ini");
  ASSERT_TRUE(QFileInfo::exists(records)) << "no records in the user's data directory";
  const QString text = QString::fromUtf8(testenv::ReadFile(records));
  EXPECT_TRUE(text.contains(QStringLiteral("[Evening Movie.avi]"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("ViewCount=1"))) << text.toStdString();
  EXPECT_FALSE(QFileInfo::exists(Prefix() + QStringLiteral("/bin/MovieList.ini")));
}

// A file manager opens a movie by the entry's Exec line: direct play starts;
// a second open while Cinvo runs only brings the running copy forward.
TEST_F(Installed, OpeningAMovieFromTheFileManagerPlaysItAndASecondOpenLeavesOneCopy) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X11 display";
  const QString movie = Movie(QStringLiteral("Opened From Files.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";
  const QProcessEnvironment env = SessionEnvironment();
  const QString entry = Share(QStringLiteral("applications/") + kAppId + QStringLiteral(".desktop"));

  // gio finds the entry through XDG_DATA_DIRS, expands %f and starts cinvo.
  TRun launch = RunTool(QStringLiteral("gio"), {QStringLiteral("launch"), entry, movie}, 30000, env);
  ASSERT_TRUE(launch.Finished) << "gio is missing (make deps)";
  ASSERT_EQ(launch.ExitCode, 0) << launch.Output.toStdString();
  QList<qint64> running;
  ASSERT_TRUE(WaitUntil([&] {
    running = ProcessesOf(Program());
    return running.size() == 1 && HasVisibleWindow(running.first());
  })) << "the opened movie is not playing";
  const qint64 first = running.first();
  const QString cmdline = QString::fromLocal8Bit(testenv::ReadFile(QStringLiteral("/proc/%1/cmdline").arg(first)));
  EXPECT_TRUE(cmdline.contains(movie)) << "not direct play of the opened file: " << cmdline.toStdString();

  // The focus elsewhere (on the root window), as after the user turned to
  // the file manager.
  const QString viewer = RunTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                              QStringLiteral("--pid"), QString::number(first)})
                             .Output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                             .value(0)
                             .trimmed();
  const QString root = RunTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--maxdepth"),
                                                            QStringLiteral("0"), QString()})
                           .Output.trimmed();
  ASSERT_FALSE(viewer.isEmpty());
  ASSERT_FALSE(root.isEmpty());
  RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), root});
  const auto focus = [] {
    return RunTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).Output.trimmed();
  };
  ASSERT_NE(focus(), viewer);

  // The second open, as the entry's Exec line says: cinvo %f.
  const TRun second = RunTool(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec cinvo \"$1\""),
                                                  QStringLiteral("sh"), movie},
                          30000, env);
  EXPECT_TRUE(second.Finished) << "the second copy did not end";
  EXPECT_EQ(second.ExitCode, 0) << second.Output.toStdString();
  EXPECT_EQ(ProcessesOf(Program()), QList<qint64>{first});
  EXPECT_TRUE(WaitUntil([&] { return focus() == viewer; })) << "the running copy did not come forward";

  EXPECT_TRUE(EndProcess(first));
  const QString records = Prefix() + QStringLiteral("/bin/MovieList.ini");  // a writable install keeps them beside
  EXPECT_TRUE(QString::fromUtf8(testenv::ReadFile(records)).contains(QStringLiteral("[Opened From Files.avi]")));
}

// A file manager's thumbnail run, as the installed thumbnailer entry tells
// it to: the thumbnail lands in the desktop's cache, where GIO finds it.
TEST_F(Installed, TheThumbnailerEntryMakesTheThumbnailTheDesktopShows) {
  const QString entry = Share(QStringLiteral("thumbnailers/cinvo.thumbnailer"));
  const QStringList lines = QString::fromUtf8(testenv::ReadFile(entry)).split(QLatin1Char('\n'));
  ASSERT_TRUE(lines.contains(QStringLiteral("[Thumbnailer Entry]"))) << "no thumbnailer entry";
  EXPECT_TRUE(lines.contains(QStringLiteral("TryExec=cinvo")));
  // The movie types of the desktop entry, all of them.
  const auto field = [](const QStringList& from, const QString& key) {
    const QStringList found = from.filter(QRegularExpression(QStringLiteral("^%1=").arg(key)));
    return found.isEmpty() ? QString() : found.first().mid(key.size() + 1);
  };
  const QStringList desktop =
      QString::fromUtf8(testenv::ReadFile(Share(QStringLiteral("applications/") + kAppId + QStringLiteral(".desktop"))))
          .split(QLatin1Char('\n'));
  EXPECT_EQ(field(lines, QStringLiteral("MimeType")), field(desktop, QStringLiteral("MimeType")));

  const QString movie = Movie(QStringLiteral("Thumbnailed Movie.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";
  QProcessEnvironment env = SessionEnvironment();
  const QString cache = home_ + QStringLiteral("/cache");
  env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
  env.remove(QStringLiteral("DISPLAY"));
  // What the file manager does: %i the file, %o the cache file named by the
  // MD5 of the file's URI, %s the size of the cache's "normal" class.
  const QString uri = QString::fromLatin1(QUrl::fromLocalFile(movie).toEncoded());
  const QString out = cache + QStringLiteral("/thumbnails/normal/") +
                      QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
                      QStringLiteral(".png");
  ASSERT_TRUE(QDir().mkpath(QFileInfo(out).absolutePath()));
  QString exec = field(lines, QStringLiteral("Exec"));
  ASSERT_FALSE(exec.isEmpty());
  const auto quoted = [](const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
  };
  exec.replace(QStringLiteral("%i"), quoted(movie)).replace(QStringLiteral("%o"), quoted(out)).replace(QStringLiteral("%s"), QStringLiteral("128"));
  const TRun run = RunTool(QStringLiteral("sh"), {QStringLiteral("-c"), exec}, 60000, env);
  ASSERT_EQ(run.ExitCode, 0) << exec.toStdString() << ": " << run.Output.toStdString();
  const QImage thumbnail(out);
  ASSERT_FALSE(thumbnail.isNull());
  EXPECT_EQ(std::max(thumbnail.width(), thumbnail.height()), 64) << "the movie is 64 x 48: not enlarged";

  const TRun info = RunTool(QStringLiteral("gio"), {QStringLiteral("info"), QStringLiteral("-a"),
                                                    QStringLiteral("thumbnail::path"), movie},
                            30000, env);
  ASSERT_TRUE(info.Finished) << "gio is missing (make deps)";
  EXPECT_TRUE(info.Output.contains(QStringLiteral("thumbnail::path: ") + out)) << info.Output.toStdString();
}
