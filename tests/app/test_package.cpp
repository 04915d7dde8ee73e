// The Debian package: built as `make package` builds it, installed into a
// clean root made here, run from there by an ordinary user on an X server
// of the test's own, and removed again without a trace.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

#include "tests/app/program_runs.h"
#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Every file and directory below `root`, relative to it, leaving out
// dpkg's own records of what it did.
QSet<QString> Contents(const QString& root) {
  QSet<QString> found;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = QDir(root).relativeFilePath(it.next());
    if (path.startsWith(QLatin1String("var/lib/dpkg/")) || path.startsWith(QLatin1String("var/log/"))) continue;
    found.insert(path);
  }
  return found;
}

// A visible top-level window of process `pid` on `display`.
bool HasVisibleWindow(qint64 pid, const QProcessEnvironment& env) {
  const TRun run = RunTool(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                            QString::number(pid)},
                           10000, env);
  return run.Finished && run.ExitCode == 0 && !run.Output.trimmed().isEmpty();
}

// An X server of this test alone, open to every local user (the program
// runs as another user than the test).
class OwnDisplay {
 public:
  OwnDisplay() {
    fServer.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                          QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    if (!fServer.waitForStarted(10000)) return;
    WaitUntil([&] {
      fServer.waitForReadyRead(100);
      fOutput += fServer.readAllStandardOutput();
      return fOutput.contains('\n') || fServer.state() == QProcess::NotRunning;
    });
    bool number = false;
    const int display = fOutput.trimmed().toInt(&number);
    if (number) fName = QStringLiteral(":%1").arg(display);
  }
  ~OwnDisplay() {
    fServer.terminate();
    if (!fServer.waitForFinished(10000)) fServer.kill(), fServer.waitForFinished();
  }
  const QString& Name() const { return fName; }

 private:
  QProcess fServer;
  QByteArray fOutput;
  QString fName;
};

QString Field(const QString& deb, const QString& field) {
  return RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, field}).Output.trimmed();
}

// The packages named in a Depends line, alternatives and versions left out.
QStringList DependedOn(const QString& depends) {
  QStringList names;
  for (const QString& item : depends.split(QLatin1Char(','), Qt::SkipEmptyParts))
    names << item.split(QLatin1Char('|')).first().section(QLatin1Char('('), 0, 0).trimmed();
  return names;
}

}  // namespace

TEST(DebianPackage, BuildsInstallsIntoACleanRootRunsThereAndRemovesWithoutATrace) {
  if (::geteuid() != 0) GTEST_SKIP() << "installing a package into a clean root needs root here";
  for (const char* tool : {"cpack", "dpkg", "dpkg-deb", "dpkg-shlibdeps", "Xvfb", "xdotool"})
    if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
      GTEST_SKIP() << tool << " is missing (make deps)";
  const passwd* nobody = ::getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "no unprivileged user to run the program as";

  // The package, exactly as `make package` makes it.
  const QString out = testenv::NewTempDir(QStringLiteral("package"));
  TRun run = RunTool(QStringLiteral("cpack"), {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                                QStringLiteral(CINVO_BUILD_DIR "/CPackConfig.cmake"),
                                                QStringLiteral("-B"), out},
                     600000);
  ASSERT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  const QString arch = RunTool(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).Output.trimmed();
  const QString deb = out + QStringLiteral("/cinvo_%1_%2.deb").arg(QStringLiteral(CINVO_VERSION), arch);
  ASSERT_TRUE(QFileInfo::exists(deb)) << QDir(out).entryList().join(' ').toStdString();

  // Depends: the libraries' packages and the plugin sets, all of them
  // installed on this machine (where the movies play).
  const QString depends = Field(deb, QStringLiteral("Depends"));
  const QStringList packages = DependedOn(depends);
  for (const char* needed : {"gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good", "gstreamer1.0-plugins-bad",
                             "gstreamer1.0-libav", "libc6", "libgstreamer1.0-0", "libqt6widgets6"})
    EXPECT_TRUE(packages.contains(QLatin1String(needed))) << needed << " missing in " << depends.toStdString();
  for (const QString& package : packages) {
    const TRun status = RunTool(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), package});
    EXPECT_TRUE(status.Output.endsWith(QLatin1String("installed"))) << package.toStdString() << ": " << status.Output.toStdString();
  }
  const QString listing = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).Output;
  for (const char* file : {"./usr/bin/cinvo", "./usr/share/man/man1/cinvo.1.gz", "./usr/share/doc/cinvo/copyright",
                           "./usr/share/doc/cinvo/changelog.gz", "./usr/share/thumbnailers/cinvo.thumbnailer",
                           "./usr/share/applications/com.vessa.Cinvo.desktop",
                           "./usr/share/metainfo/com.vessa.Cinvo.metainfo.xml",
                           "./usr/share/icons/hicolor/256x256/apps/com.vessa.Cinvo.png",
                           "./usr/share/cinvo/Languages/About.txt"})
    EXPECT_TRUE(listing.contains(QLatin1String(file))) << file;
  EXPECT_FALSE(listing.contains(QLatin1String("root/root")) && listing.contains(QLatin1String("./usr/local")));

  // A clean root: nothing but an empty package database. The other users
  // (the program's) may go through the directories leading to it.
  QTemporaryDir place(QDir::tempPath() + QStringLiteral("/cinvo-package-XXXXXX"));
  ASSERT_TRUE(place.isValid());
  ::chmod(QFile::encodeName(place.path()).constData(), 0755);
  const QString root = place.path() + QStringLiteral("/root");
  for (const char* dir : {"var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers", "var/log"})
    ASSERT_TRUE(QDir().mkpath(root + QLatin1Char('/') + QLatin1String(dir)));
  ASSERT_TRUE(testenv::WriteFile(root + QStringLiteral("/var/lib/dpkg/status"), QByteArray()));
  ASSERT_TRUE(testenv::WriteFile(root + QStringLiteral("/var/lib/dpkg/available"), QByteArray()));
  const QSet<QString> before = Contents(root);

  // Its libraries and plugins are this machine's: the root holds only the package.
  run = RunTool(QStringLiteral("dpkg"), {QStringLiteral("--root=") + root, QStringLiteral("--force-depends"),
                                         QStringLiteral("-i"), deb});
  ASSERT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  const QString program = root + QStringLiteral("/usr/bin/cinvo");
  ASSERT_TRUE(QFileInfo(program).isExecutable());

  // Direct play as an ordinary user of a desktop.
  OwnDisplay display;
  ASSERT_FALSE(display.Name().isEmpty()) << "no X server of our own";
  const QString home = place.path() + QStringLiteral("/home");
  const QString runtime = place.path() + QStringLiteral("/runtime");
  const QString movies = place.path() + QStringLiteral("/movies");
  for (const QString& dir : {home, runtime, movies}) {
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_EQ(::chown(QFile::encodeName(dir).constData(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  ::chmod(QFile::encodeName(runtime).constData(), 0700);
  const QString movie = movies + QStringLiteral("/Installed Movie.avi");
  ASSERT_TRUE(QFile::copy(testmovies::MovieFile(testmovies::TMovieKind::TwoAudioLong), movie));
  ::chmod(QFile::encodeName(movie).constData(), 0644);

  QProcessEnvironment env;
  env.insert(QStringLiteral("PATH"), root + QStringLiteral("/usr/bin:/usr/bin:/bin"));
  env.insert(QStringLiteral("HOME"), home);
  env.insert(QStringLiteral("USER"), QString::fromLocal8Bit(nobody->pw_name));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  env.insert(QStringLiteral("XDG_DATA_DIRS"), root + QStringLiteral("/usr/share:/usr/share"));
  env.insert(QStringLiteral("DISPLAY"), display.Name());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("CINVO_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + home + QStringLiteral("/no-bus"));
  env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + home + QStringLiteral("/no-bus"));
  // A sanitizer build's program runs with the same options and suppressions
  // as every other program the suite starts.
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "G_SLICE", "G_DEBUG"})
    if (qEnvironmentVariableIsSet(name)) env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
  QProcess cinvo;
  cinvo.setProcessEnvironment(env);
  cinvo.setProcessChannelMode(QProcess::MergedChannels);
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  cinvo.setChildProcessModifier([uid, gid] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(126);
  });
  cinvo.start(program, {movie});
  ASSERT_TRUE(cinvo.waitForStarted(30000));
  EXPECT_TRUE(WaitUntil([&] { return HasVisibleWindow(cinvo.processId(), env) || cinvo.state() != QProcess::Running; },
                        60000) &&
              cinvo.state() == QProcess::Running)
      << "the installed program did not show its viewer: " << cinvo.readAll().toStdString();
  ::kill(static_cast<pid_t>(cinvo.processId()), SIGTERM);
  ASSERT_TRUE(cinvo.waitForFinished(60000));
  EXPECT_EQ(cinvo.exitCode(), 0) << cinvo.readAll().toStdString();
  const QString records = QString::fromUtf8(testenv::ReadFile(home + QStringLiteral("/.local/share/Cinvo/MovieList.ini")));
  EXPECT_TRUE(records.contains(QStringLiteral("[Installed Movie.avi]"))) << "no view recorded: " << records.toStdString();

  // Removed (and purged): the root is as it was.
  run = RunTool(QStringLiteral("dpkg"), {QStringLiteral("--root=") + root, QStringLiteral("--purge"), QStringLiteral("cinvo")});
  ASSERT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  const QSet<QString> after = Contents(root);
  QStringList left = QStringList(after.begin(), after.end());
  left.removeIf([&](const QString& path) { return before.contains(path); });
  EXPECT_TRUE(left.isEmpty()) << "left behind: " << left.join(QStringLiteral(", ")).toStdString();
  EXPECT_TRUE(QDir(root + QStringLiteral("/var/lib/dpkg/info")).entryList({QStringLiteral("cinvo.*")}).isEmpty());
}
