// The desktop's media controls reach the running program over a private
// session bus: the viewer (direct play) and the main window's preview answer
// play, pause, seek and stop as their own commands do; without a bus the
// program plays as before and says nothing about it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#include <csignal>

#include "tests/app/program_runs.h"
#include "tests/support/private_session_bus.h"
#include "tests/support/private_system_bus.h"
#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const QString kName = QStringLiteral("org.mpris.MediaPlayer2.cinvo");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
constexpr qint64 kSecond = 1000000;  // microseconds

// One call on the bus with gdbus; its printed answer, or empty on failure.
QString Call(const QString& method, const QStringList& arguments = {}) {
  QStringList args{QStringLiteral("call"),        QStringLiteral("--session"),    QStringLiteral("--dest"), kName,
                   QStringLiteral("--object-path"), QStringLiteral("/org/mpris/MediaPlayer2"),
                   QStringLiteral("--timeout"),   QStringLiteral("10"),           QStringLiteral("--method"), method};
  args += arguments;
  const TRun run = RunTool(QStringLiteral("gdbus"), args, 20000);
  return run.Finished && run.ExitCode == 0 ? run.Output.trimmed() : QString();
}

QString Property(const QString& interface, const QString& name) {
  return Call(QStringLiteral("org.freedesktop.DBus.Properties.Get"), {interface, name});
}

QString Status() { return Property(kPlayer, QStringLiteral("PlaybackStatus")); }

qint64 Position() {
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("int64 (-?\\d+)")).match(Property(kPlayer, QStringLiteral("Position")));
  return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

bool NameOwned() {
  const TRun run = RunTool(QStringLiteral("gdbus"),
                           {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("--object-path"),
                            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("--method"),
                            QStringLiteral("org.freedesktop.DBus.NameHasOwner"), kName},
                           20000);
  return run.Output.contains(QStringLiteral("true"));
}

QString LongMovie(const QString& name) {
  const QString source = testmovies::MovieFile(testmovies::TMovieKind::TwoAudioLong);
  if (source.isEmpty()) return QString();
  const QString dir = testenv::NewTempDir(QStringLiteral("movies"));
  const QString path = dir + QLatin1Char('/') + name;
  return QFile::copy(source, path) ? path : QString();
}

// The program as a test runs it: no display (offscreen), sound to a fake
// sink, its own runtime directory, records and settings of the test.
QProcessEnvironment ProgramEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("CINVO_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
  const QString runtime = testenv::NewTempDir(QStringLiteral("runtime"));
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  return env;
}

// The record's stored position, -1 when there is none.
int RecordedPosition(const QString& section) {
  const QString text = QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile()));
  const int at = text.indexOf(QStringLiteral("[%1]").arg(section));
  if (at < 0) return -1;
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("ViewPosition=(\\d+)")).match(text, at);
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class Program {
 public:
  explicit Program(const QStringList& arguments, const QProcessEnvironment& env = ProgramEnvironment()) {
    fProcess.setProcessEnvironment(env);
    fProcess.setProcessChannelMode(QProcess::MergedChannels);
    fProcess.start(QStringLiteral(CINVO_PROGRAM), arguments);
    fProcess.waitForStarted(30000);
  }
  ~Program() {
    if (fProcess.state() != QProcess::NotRunning) {
      fProcess.kill();
      fProcess.waitForFinished();
    }
  }
  bool Running() { return fProcess.state() == QProcess::Running && !fProcess.waitForFinished(10); }
  void Terminate() { ::kill(static_cast<pid_t>(fProcess.processId()), SIGTERM); }
  qint64 Pid() const { return fProcess.processId(); }
  bool Ended(int ms = 60000) { return fProcess.waitForFinished(ms); }
  int ExitCode() const { return fProcess.exitCode(); }
  QString Output() { return QString::fromLocal8Bit(fProcess.readAll()); }

 private:
  QProcess fProcess;
};

}  // namespace

TEST(MediaControls, TheViewerPlaysPausesSeeksAndStopsRecordingThePosition) {
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  const QString movie = LongMovie(QStringLiteral("Night Train.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";

  // Signals the program sends, as the desktop's panel would see them.
  QProcess monitor;
  monitor.setProcessChannelMode(QProcess::MergedChannels);
  monitor.start(QStringLiteral("gdbus"), {QStringLiteral("monitor"), QStringLiteral("--session"),
                                          QStringLiteral("--dest"), kName});
  ASSERT_TRUE(monitor.waitForStarted());

  Program cinvo({movie});
  ASSERT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Playing'>,)"); }, 60000))
      << "no player on the bus";

  EXPECT_EQ(Property(kRoot, QStringLiteral("Identity")), QStringLiteral("(<'Cinvo'>,)"));
  EXPECT_EQ(Property(kRoot, QStringLiteral("DesktopEntry")), QStringLiteral("(<'com.vessa.Cinvo'>,)"));
  EXPECT_EQ(Property(kRoot, QStringLiteral("CanRaise")), QStringLiteral("(<true>,)"));
  EXPECT_EQ(Property(kRoot, QStringLiteral("HasTrackList")), QStringLiteral("(<false>,)"));
  EXPECT_TRUE(Property(kRoot, QStringLiteral("SupportedMimeTypes")).contains(QStringLiteral("'video/x-msvideo'")));
  EXPECT_EQ(Property(kPlayer, QStringLiteral("CanSeek")), QStringLiteral("(<true>,)"));
  EXPECT_EQ(Property(kPlayer, QStringLiteral("CanGoNext")), QStringLiteral("(<false>,)"));
  const QString metadata = Property(kPlayer, QStringLiteral("Metadata"));
  EXPECT_TRUE(metadata.contains(QStringLiteral("'xesam:title': <'Night Train'>"))) << metadata.toStdString();
  EXPECT_TRUE(metadata.contains(QStringLiteral("'xesam:url': <'%1'>")
                                    .arg(QUrl::fromLocalFile(movie).toString(QUrl::FullyEncoded))))
      << metadata.toStdString();
  const QRegularExpressionMatch length = QRegularExpression(QStringLiteral("'mpris:length': <int64 (\\d+)>")).match(metadata);
  ASSERT_TRUE(length.hasMatch()) << metadata.toStdString();
  EXPECT_NEAR(length.captured(1).toLongLong(), testmovies::kTwoAudioLongSeconds * kSecond, kSecond);
  const QRegularExpressionMatch track = QRegularExpression(QStringLiteral("'mpris:trackid': <objectpath '([^']+)'>")).match(metadata);
  ASSERT_TRUE(track.hasMatch()) << metadata.toStdString();

  // Pause: the status says so and the position stands still.
  EXPECT_FALSE(Call(kPlayer + QStringLiteral(".Pause")).isNull());
  ASSERT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Paused'>,)"); }));
  const qint64 paused = Position();
  QThread::msleep(700);
  EXPECT_NEAR(Position(), paused, kSecond / 5);

  // Seek is relative, SetPosition absolute (for this movie's track only).
  EXPECT_FALSE(Call(kPlayer + QStringLiteral(".Seek"), {QString::number(5 * kSecond)}).isNull());
  EXPECT_TRUE(WaitUntil([&] { return Position() >= paused + 5 * kSecond - kSecond / 2; }));
  EXPECT_LE(Position(), paused + 5 * kSecond + kSecond / 2);
  Call(kPlayer + QStringLiteral(".SetPosition"), {QStringLiteral("/org/mpris/MediaPlayer2/cinvo/track/999"),
                                                  QString::number(30 * kSecond)});
  QThread::msleep(300);
  EXPECT_LT(Position(), 20 * kSecond) << "a position for another track moved the movie";
  Call(kPlayer + QStringLiteral(".SetPosition"), {track.captured(1), QString::number(20 * kSecond)});
  EXPECT_TRUE(WaitUntil([] { return Position() >= 20 * kSecond - kSecond / 2; }));

  // Play goes on from there; the opening of another file is refused.
  Call(kPlayer + QStringLiteral(".PlayPause"));
  ASSERT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Playing'>,)"); }));
  EXPECT_TRUE(Call(kPlayer + QStringLiteral(".OpenUri"), {QStringLiteral("file:///elsewhere.avi")}).isEmpty());

  // The sound level is the viewer's own, read and set from the desktop,
  // and kept for the next run.
  EXPECT_EQ(Property(kPlayer, QStringLiteral("Volume")), QStringLiteral("(<1.0>,)"));
  Call(QStringLiteral("org.freedesktop.DBus.Properties.Set"),
       {kPlayer, QStringLiteral("Volume"), QStringLiteral("<0.5>")});
  EXPECT_TRUE(WaitUntil([] { return Property(kPlayer, QStringLiteral("Volume")) == QStringLiteral("(<0.5>,)"); }));

  // Stop closes the viewer as its close button does: the position is kept
  // and, in direct play, the program ends.
  Call(kPlayer + QStringLiteral(".Stop"));
  ASSERT_TRUE(cinvo.Ended());
  EXPECT_EQ(cinvo.ExitCode(), 0) << cinvo.Output().toStdString();
  const int recorded = RecordedPosition(QStringLiteral("Night Train.avi"));
  EXPECT_GE(recorded, 20);
  EXPECT_LE(recorded, 25);
  EXPECT_FALSE(NameOwned());

  QThread::msleep(300);
  monitor.terminate();
  monitor.waitForFinished();
  const QString signals_ = QString::fromLocal8Bit(monitor.readAll());
  EXPECT_TRUE(signals_.contains(QStringLiteral("PropertiesChanged ('org.mpris.MediaPlayer2.Player', {'PlaybackStatus': <'Paused'>}")))
      << signals_.toStdString();
  EXPECT_TRUE(signals_.contains(QStringLiteral("org.mpris.MediaPlayer2.Player.Seeked")))
      << signals_.toStdString();
  EXPECT_TRUE(signals_.contains(QStringLiteral("{'Volume': <0.5>}"))) << signals_.toStdString();
  const QJsonObject initial = QJsonDocument::fromJson(testenv::ReadFile(testenv::HivePath()))
                                  .object()["Software"].toObject()["Vessa"].toObject()["Cinvo"].toObject()["Initial"]
                                  .toObject();
  EXPECT_EQ(initial["Volume"].toInt(-1), 50);
}

TEST(MediaControls, ThePreviewIsControlledWhileItPlaysAndLeavesTheBusWhenStopped) {
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  const QString movie = LongMovie(QStringLiteral("Harbour Lights.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";
  // Library mode over a movies directory holding that one movie.
  QJsonObject initial{{QStringLiteral("MovieDir"), QFileInfo(movie).absolutePath()}};
  QJsonObject root{{QStringLiteral("Software"),
                    QJsonObject{{QStringLiteral("Vessa"),
                                 QJsonObject{{QStringLiteral("Cinvo"), QJsonObject{{QStringLiteral("Initial"), initial}}}}}}}};
  ASSERT_TRUE(testenv::WriteFile(testenv::HivePath(), QJsonDocument(root).toJson()));

  Program cinvo({});
  ASSERT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Playing'>,)"); }, 60000))
      << "the preview is not on the bus: " << cinvo.Output().toStdString();
  EXPECT_TRUE(Property(kPlayer, QStringLiteral("Metadata")).contains(QStringLiteral("'xesam:title': <'Harbour Lights'>")));
  EXPECT_EQ(Property(kRoot, QStringLiteral("Fullscreen")), QStringLiteral("(<false>,)"));
  Call(kPlayer + QStringLiteral(".Pause"));
  EXPECT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Paused'>,)"); }));
  Call(kPlayer + QStringLiteral(".Play"));
  EXPECT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Playing'>,)"); }));
  Call(kPlayer + QStringLiteral(".Stop"));
  EXPECT_TRUE(WaitUntil([] { return !NameOwned(); })) << "a stopped preview is still offered";
  EXPECT_TRUE(cinvo.Running()) << "stopping the preview ended the program";
  cinvo.Terminate();
  ASSERT_TRUE(cinvo.Ended());
  EXPECT_EQ(cinvo.ExitCode(), 0);
}

TEST(MediaControls, WithoutASessionBusTheProgramPlaysAsBeforeAndSaysNothing) {
  const QString movie = LongMovie(QStringLiteral("Quiet Evening.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";
  QProcessEnvironment env = ProgramEnvironment();
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  Program cinvo({movie}, env);
  // Playing: the record of a run ended after some viewing holds a position.
  QThread::msleep(3000);
  ASSERT_TRUE(cinvo.Running()) << cinvo.ExitCode() << " " << cinvo.Output().toStdString();
  cinvo.Terminate();
  ASSERT_TRUE(cinvo.Ended());
  EXPECT_EQ(cinvo.ExitCode(), 0);
  const QString output = cinvo.Output();
  EXPECT_FALSE(output.contains(QStringLiteral("bus"), Qt::CaseInsensitive)) << output.toStdString();
  EXPECT_FALSE(output.contains(QStringLiteral("mpris"), Qt::CaseInsensitive)) << output.toStdString();
  EXPECT_GE(RecordedPosition(QStringLiteral("Quiet Evening.avi")), 0);
}

// What the desktop learns of a movie the viewer plays: full screen, its
// picture for the media controls, a place among the recently used files;
// and the machine stays awake exactly while it plays.
TEST(MediaControls, WhileTheViewerPlaysTheDesktopShowsItsPictureAndTheMachineStaysAwake) {
  PrivateSystemBus system;
  ASSERT_TRUE(system.Ready());
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  const QString movie = LongMovie(QStringLiteral("Night Ferry.avi"));
  ASSERT_FALSE(movie.isEmpty()) << "no test movie can be made here";
  QProcessEnvironment env = ProgramEnvironment();
  const QString data = testenv::NewTempDir(QStringLiteral("data"));
  const QString cache = testenv::NewTempDir(QStringLiteral("cache"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), data);
  env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
  const QString recent = data + QStringLiteral("/recently-used.xbel");
  ASSERT_TRUE(testenv::WriteFile(recent, R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///home/someone/holiday.jpg" added="2026-11-02T10:00:00Z" modified="2026-11-02T10:00:00Z" visited="2026-11-02T10:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="image/jpeg"/>
      <bookmark:applications><bookmark:application name="Photos" exec="photos %u" modified="2026-11-02T10:00:00Z" count="1"/></bookmark:applications>
    </metadata></info>
  </bookmark>
</xbel>
)"));

  Program cinvo({movie}, env);
  ASSERT_TRUE(WaitUntil([] { return Status() == QStringLiteral("(<'Playing'>,)"); }, 60000)) << "no player on the bus";
  EXPECT_EQ(Property(kRoot, QStringLiteral("Fullscreen")), QStringLiteral("(<true>,)"));
  EXPECT_EQ(Property(kRoot, QStringLiteral("CanSetFullscreen")), QStringLiteral("(<false>,)"));
  ASSERT_TRUE(system.Login1().WaitForHeld(1)) << "the machine may suspend while the movie plays";
  EXPECT_EQ(system.Login1().Calls().value(0), QStringLiteral("idle:sleep Cinvo Playing a movie block"));

  // The picture: the movie's thumbnail, written to the desktop's cache.
  QRegularExpressionMatch art;
  EXPECT_TRUE(WaitUntil([&] {
    art = QRegularExpression(QStringLiteral("'mpris:artUrl': <'([^']+)'>")).match(Property(kPlayer, QStringLiteral("Metadata")));
    return art.hasMatch();
  })) << "no picture for the media controls";
  const QString picture = QUrl(art.captured(1)).toLocalFile();
  EXPECT_TRUE(picture.startsWith(cache + QStringLiteral("/thumbnails/large/"))) << picture.toStdString();
  EXPECT_FALSE(QImage(picture).isNull());

  const QString list = QString::fromUtf8(testenv::ReadFile(recent));
  EXPECT_TRUE(list.contains(QStringLiteral("href=\"%1\"").arg(QString::fromLatin1(QUrl::fromLocalFile(movie).toEncoded()))))
      << list.toStdString();
  EXPECT_TRUE(list.contains(QStringLiteral("href=\"file:///home/someone/holiday.jpg\""))) << list.toStdString();

  // Paused: the machine may sleep again; playing: it may not.
  Call(kPlayer + QStringLiteral(".Pause"));
  EXPECT_TRUE(system.Login1().WaitForHeld(0)) << "still held while paused";
  Call(kPlayer + QStringLiteral(".Play"));
  EXPECT_TRUE(system.Login1().WaitForHeld(1)) << "not held again on play";
  Call(kPlayer + QStringLiteral(".Stop"));
  ASSERT_TRUE(cinvo.Ended());
  EXPECT_EQ(cinvo.ExitCode(), 0) << cinvo.Output().toStdString();
  EXPECT_TRUE(system.Login1().WaitForHeld(0)) << "held after the viewer closed";
}

TEST(MediaControls, TheSleepLockEndsWithTheMovieAndWithAKilledProgram) {
  PrivateSystemBus system;
  ASSERT_TRUE(system.Ready());
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  {
    Program cinvo({LongMovie(QStringLiteral("Killed.avi"))});
    ASSERT_TRUE(system.Login1().WaitForHeld(1)) << cinvo.Output().toStdString();
    ::kill(static_cast<pid_t>(cinvo.Pid()), SIGKILL);
    ASSERT_TRUE(cinvo.Ended());
    EXPECT_TRUE(system.Login1().WaitForHeld(0)) << "the lock outlived the program";
  }
  // A movie that reaches its end: the viewer stays open, the lock goes.
  const QString shortMovie = testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm);
  ASSERT_FALSE(shortMovie.isEmpty());
  Program cinvo({shortMovie});
  ASSERT_TRUE(system.Login1().WaitForHeld(1)) << cinvo.Output().toStdString();
  EXPECT_TRUE(system.Login1().WaitForHeld(0)) << "held after the end of the movie";
  EXPECT_TRUE(cinvo.Running());
  cinvo.Terminate();
  ASSERT_TRUE(cinvo.Ended());
}
