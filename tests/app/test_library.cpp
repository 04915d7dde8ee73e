// The main window with its movie library, driven in-process: a generated
// movies directory, a stand-in CD, the preview and the start of a movie.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QProcessEnvironment>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <functional>

#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_Component.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/recording_opener.h"
#include "tests/support/test_movies.h"
#include "viewer/filter_graph.h"
#include "viewer/pk_fViewer.h"
#include "viewer/video_window.h"

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

using testmovies::MovieFile;
using testmovies::TMovieKind;

namespace {

// Runs the event loop until `done` holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms = 20000) { return testenv::WaitForEvents(done, ms); }

void Place(const QString& movie, const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile::remove(path);
  ASSERT_TRUE(QFile::copy(movie, path)) << path.toStdString();
}

QStringList Captions(const TFrmShowcase& w) {
  QStringList captions;
  for (int i = 0; i < w.ItemCount(); ++i) captions << w.Item(i)->text(0);
  return captions;
}

int IndexOf(const TFrmShowcase& w, const QString& caption, bool origin) {
  for (int i = 0; i < w.ItemCount(); ++i)
    if (w.Item(i)->text(0) == caption && w.Item(i)->Data()->Origin == origin) return i;
  return -1;
}

QStringList InfoLines(const TFrmShowcase& w) {
  return {w._lbInfoFileName->Caption(), w._lbInfoCreation->Caption(), w._lbInfoSize->Caption(),
          w._lbInfoViewCount->Caption(), w._lbInfoViewDate->Caption(), w._lbInfoLinked->Caption()};
}

int64_t PreviewPosition(TFrmShowcase& w) {
  int64_t current = -1;
  if (IMediaSeeking* seeking = w.FilterGraph->MediaSeeking()) seeking->GetCurrentPosition(&current);
  return current;
}

int64_t PreviewStop(TFrmShowcase& w) {
  int64_t stop = -1;
  if (IMediaSeeking* seeking = w.FilterGraph->MediaSeeking()) seeking->GetStopPosition(&stop);
  return stop;
}

// A movie listed twice, from the disk and from the CD: a CD item stands
// only for a movie the disk does not hold.
QString ListedTwice(const TFrmShowcase& w) {
  QSet<QString> disk, cd;
  for (int i = 0; i < w.ItemCount(); ++i)
    if (const TMovieData* data = w.Item(i)->Data()) (data->Origin ? disk : cd).insert(w.Item(i)->text(0));
  disk.intersect(cd);
  return disk.isEmpty() ? QString() : *disk.begin();
}

// Whether this process may mount (a stand-in CD that comes and goes the way
// a disc does).
bool Mount(const QString& dir) {
  QProcess mount;
  mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=16m", "cinvo-cd", dir});
  return mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
}

void Unmount(const QString& dir) {
  QProcess umount;
  umount.start(QStringLiteral("umount"), {"-l", dir});
  umount.waitForFinished(10000);
}

// What the recording opener receives for a file.
QString Opened(const QString& path) { return QStringLiteral("file://") + path; }

class LibraryTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    InitializeLauncherStrings();
    movie_ = MovieFile(TMovieKind::MjpegPcm);
    ASSERT_FALSE(movie_.isEmpty());
    base_ = testenv::NewTempDir(QStringLiteral("library"));
    movies_ = base_ + "/Movies";
    cd_ = base_ + "/cd";
    QDir().mkpath(movies_);
    QDir().mkpath(cd_);
    QFile::remove(testenv::MovieListFile());
    Parameters().Load();
    Parameters().MovieDir = movies_;
    Parameters().CDReader = cd_;
    Parameters().Recurse = false;
    Parameters().InternalViewer = false;
    Parameters().CopyFromCD = true;
    Parameters().ExitOnView = false;
    TFrmShowcase::SetFreeSpaceQuery({});
    SetShellQuestion([](const QString&) { return true; });
  }
  void TearDown() override {
    window_.reset();
    SetShellQuestion({});
    TFrmShowcase::SetFreeSpaceQuery({});
    ReleaseMovieList();
    ReleaseParameters();
    FrameworkTest::TearDown();
  }

  // The window after its first activation, with complete lists.
  TFrmShowcase& Open() {
    window_ = std::make_unique<TFrmShowcase>();
    window_->show();
    EXPECT_TRUE(WaitFor([this] { return window_->Activated && !window_->ListsPending(); }));
    return *window_;
  }

  // Waits for the lists after a refresh started by the caller.
  bool Settled() {
    return WaitFor([this] { return !window_->ListsPending(); });
  }

  // Selects the item with that caption and waits for its preview to play.
  void SelectAndPreview(const QString& caption, bool origin) {
    TFrmShowcase& w = *window_;
    const int index = IndexOf(w, caption, origin);
    ASSERT_GE(index, 0) << caption.toStdString();
    w.ListView->setCurrentItem(w.Item(index));
    ASSERT_EQ(w.CurrentFile, w.Item(index)->Data()->FileName);
    testenv::DrainEvents();  // the preview message
    ASSERT_TRUE(WaitFor([&] { return w.FilterGraph->Active() && w.FilterGraph->GraphState() == 3; }));
  }

  QString movie_, base_, movies_, cd_;
  std::unique_ptr<TFrmShowcase> window_;
};

// ---------------------------------------------------------------- lists

TEST_F(LibraryTest, ListsTheMoviesDirectoryAndTheCDInCaptionOrder) {
  Place(movie_, movies_ + "/Bravo.avi");
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, movies_ + "/Holiday.AVI");         // the mask ignores letter case
  Place(movie_, movies_ + "/sub/Camel.avi");       // only with Recurse
  Place(movie_, movies_ + "/sub/deeper/Dune.avi");
  QDir().mkpath(movies_ + "/Film.avi");            // a directory is no movie
  testenv::WriteFile(movies_ + "/notes.txt", "not a movie");
  testenv::WriteFile(movies_ + "/.hidden.avi", "hidden");
  Place(movie_, base_ + "/Movies2/Sibling.avi");  // beside the library, not in it
  Place(movie_, cd_ + "/Holiday.avi");
  Place(movie_, cd_ + "/Zebra.avi");
  Place(movie_, cd_ + "/extras/Bonus.avi");        // the CD's root only

  TFrmShowcase& w = Open();
  // The first CD scan found an empty list: both Holiday items are listed.
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Bravo", "Holiday", "Holiday", "Zebra"}));
  EXPECT_GE(IndexOf(w, "Holiday", false), 0);
  EXPECT_EQ(w.CDFiles.size(), 2);
  // The first CD item is selected and shown.
  ASSERT_NE(w.SelectedItem(), nullptr);
  EXPECT_FALSE(w.SelectedItem()->Data()->Origin);
  EXPECT_EQ(w.CurrentFile, w.SelectedItem()->Data()->FileName);

  // Any later scan lists the disk item in place of the CD's.
  Parameters().Recurse = true;
  w.RefreshLists();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Bravo", "Camel", "Dune", "Holiday", "Zebra"}));
  EXPECT_TRUE(w.Item(IndexOf(w, "Holiday", true))->Data()->Origin);
  EXPECT_EQ(IndexOf(w, "Holiday", false), -1);
  EXPECT_EQ(w.CDFiles.size(), 2);

  Parameters().Recurse = false;
  w.ScanMovieDir();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Bravo", "Holiday", "Zebra"}));
}

TEST_F(LibraryTest, ALargeLibraryIsListedWhole) {
  // Built by a worker in batches: the list ends the same as a walk on the
  // window's own thread would leave it.
  QStringList expected;
  for (int d = 0; d < 20; ++d)
    for (int f = 0; f < 100; ++f) {
      const QString name = QStringLiteral("Movie %1-%2").arg(d, 2, 10, QChar('0')).arg(f, 3, 10, QChar('0'));
      testenv::WriteFile(movies_ + QStringLiteral("/dir%1/").arg(d) + name + ".avi", QByteArray());
      expected << name;
    }
  Parameters().Recurse = true;
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  EXPECT_EQ(Captions(w), expected);
  // The first item is selected once the list is complete.
  ASSERT_NE(w.SelectedItem(), nullptr);
  EXPECT_EQ(w.SelectedItem()->text(0), expected.first());

  // A refresh keeps the selected index, also while a second walk replaces
  // one still running.
  w.ListView->setCurrentItem(w.Item(1234));
  int completions = 0;
  QObject::connect(&w, &TFrmShowcase::ListsComplete, [&] { ++completions; });
  w.RefreshLists();
  w.RefreshLists();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(w.ItemCount(), expected.size());
  ASSERT_NE(w.SelectedItem(), nullptr);
  EXPECT_EQ(w.SelectedItem()->text(0), expected.at(1234));
  EXPECT_EQ(completions, 1);
}

TEST_F(LibraryTest, NoCDReaderOrNoDiscScansNothing) {
  Place(movie_, movies_ + "/Alpha.avi");
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  EXPECT_EQ(w.CDRoot(), QString());
  EXPECT_TRUE(w.CDFiles.isEmpty());
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));
  // A device that holds no disc: nothing is mounted, nothing is scanned.
  w.SetCDReader(QStringLiteral("/dev/cinvo-no-such-reader"));
  EXPECT_TRUE(w.CDFiles.isEmpty());
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));
}

// ------------------------------------------------- information and preview

TEST_F(LibraryTest, SelectingShowsTheSixLinesAndPreviewsFromOneTwelfth) {
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, movies_ + "/Beta.avi");
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  SelectAndPreview("Beta", true);
  const TMovieData& record = *w.SelectedItem()->Data();
  const QStringList lines = InfoLines(w);
  EXPECT_EQ(lines[0], movies_ + "/Beta.avi");
  EXPECT_EQ(lines[1], "Created the " + DateTimeText(record.CreationDate));
  EXPECT_EQ(lines[2], QStringLiteral("Size %1 K").arg(QFileInfo(movies_ + "/Beta.avi").size() / 1024));
  EXPECT_EQ(lines[3], QString());  // never seen
  EXPECT_EQ(lines[4], QString());
  EXPECT_EQ(lines[5], "Position : 0:00");
  EXPECT_EQ(w.CurrentFile, movies_ + "/Beta.avi");

  const int64_t stop = PreviewStop(w);
  ASSERT_GT(stop, 0);
  EXPECT_GE(PreviewPosition(w), stop / 12 - 1000000) << "the preview starts at one twelfth";
  EXPECT_EQ(w.FilterGraph->Volume(), 10000) << "the preview has its sound";
  EXPECT_TRUE(WaitFor([&] { return w.DSVideoWindow->FramesPainted() > 0; }));
}

TEST_F(LibraryTest, ATwoHourMoviePreviewsFromItsTenthMinute) {
  const QString longMovie = MovieFile(TMovieKind::TwoHours);
  ASSERT_FALSE(longMovie.isEmpty());
  Place(longMovie, movies_ + "/Epic.avi");
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  ASSERT_TRUE(WaitFor([&] { return w.FilterGraph->GraphState() == 3; }));
  const int64_t position = PreviewPosition(w);
  EXPECT_GE(position, 600LL * 10000000);
  EXPECT_LT(position, 660LL * 10000000);
}

TEST_F(LibraryTest, AMovieThatCannotBeRenderedLeavesABlackPaneAndNoMessage) {
  Place(movie_, movies_ + "/Alpha.avi");
  testenv::WriteFile(movies_ + "/Broken.avi", "This is a shopping list, not a movie.");
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  SelectAndPreview("Alpha", true);
  ASSERT_TRUE(WaitFor([&] { return w.DSVideoWindow->FramesPainted() > 0; }));
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Broken", true)));
  ASSERT_EQ(w.CurrentFile, movies_ + "/Broken.avi");
  testenv::DrainEvents();
  QThread::msleep(50);
  testenv::DrainEvents();
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty()) << testenv::RecordedErrors().join('\n').toStdString();
  EXPECT_NE(w.FilterGraph->GraphState(), 3);
  EXPECT_TRUE(w.DSVideoWindow->CurrentFrame().isNull()) << "the picture of the movie before stays";
  EXPECT_EQ(w._lbInfoFileName->Caption(), movies_ + "/Broken.avi");
}

// ------------------------------------------------------------ starting

TEST_F(LibraryTest, StartingCountsTheViewFirstAndHandsTheMovieOver) {
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, movies_ + "/Beta.avi");
  Parameters().CDReader.clear();
  testenv::RecordingOpener opener;
  TFrmShowcase& w = Open();
  SelectAndPreview("Beta", true);
  w.BtViewClick();
  EXPECT_EQ(opener.Calls(), QStringList({Opened(movies_ + "/Beta.avi")}));
  EXPECT_NE(w.FilterGraph->GraphState(), 3) << "the preview stops";
  const QString ini = QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile()));
  EXPECT_TRUE(ini.contains("[Beta.avi]")) << ini.toStdString();
  EXPECT_TRUE(ini.contains("ViewCount=1")) << ini.toStdString();
  // Seen once, shown from the next selection on.
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Alpha", true)));
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Beta", true)));
  EXPECT_EQ(w._lbInfoViewCount->Caption(), "Seen 1 times");
  EXPECT_TRUE(w._lbInfoViewDate->Caption().startsWith("Last seen the "));

  // Started before its preview began: the preview asked for no longer
  // plays beside the movie.
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Alpha", true)));
  w.BtViewClick();
  testenv::DrainEvents();
  EXPECT_FALSE(w.FilterGraph->Active());
  EXPECT_EQ(opener.Calls().size(), 2);
}

TEST_F(LibraryTest, TheViewerPlaysTheMovieAndItsPositionComesBack) {
  const QString longMovie = MovieFile(TMovieKind::LongVideoOnly);
  ASSERT_FALSE(longMovie.isEmpty());
  Place(longMovie, movies_ + "/Epic.avi");
  Place(movie_, movies_ + "/Alpha.avi");
  Parameters().CDReader.clear();
  Parameters().InternalViewer = true;
  TFrmShowcase& w = Open();
  SelectAndPreview("Epic", true);
  w.BtViewClick();
  // Counted before it plays.
  EXPECT_TRUE(QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile())).contains("ViewCount=1"));
  ASSERT_NE(FrmViewer, nullptr);
  EXPECT_EQ(FrmViewer->parent(), &w) << "the main window owns the viewer";
  EXPECT_TRUE(FrmViewer->isVisible());
  EXPECT_EQ(FrmViewer->MovieFileName(), movies_ + "/Epic.avi");
  EXPECT_FALSE(w.FilterGraph->Active()) << "the preview makes way";
  ASSERT_TRUE(WaitFor([] {
    int64_t current = 0;
    IMediaSeeking* seeking = FrmViewer->FilterGraph->MediaSeeking();
    return seeking && seeking->GetCurrentPosition(&current) >= 0 && current >= 2LL * 10000000;
  }));
  TFrmViewer* viewer = FrmViewer;
  viewer->close();
  EXPECT_EQ(FrmViewer, viewer) << "closing hides the viewer, which stays for the next movie";
  EXPECT_FALSE(viewer->isVisible());
  const std::int64_t reached = viewer->CurrentMovie().ViewPosition;
  EXPECT_GE(reached, 2);
  const QString ini = QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile()));
  EXPECT_TRUE(ini.contains(QStringLiteral("ViewPosition=%1").arg(reached))) << ini.toStdString();
  // The next selection shows it.
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Alpha", true)));
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Epic", true)));
  EXPECT_EQ(w._lbInfoLinked->Caption(), "Position : " + SecondsToText(reached));
  EXPECT_EQ(w._lbInfoViewCount->Caption(), "Seen 1 times");

  // The same viewer plays the next movie.
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Alpha", true)));
  w.BtViewClick();
  EXPECT_EQ(FrmViewer, viewer);
  EXPECT_EQ(viewer->MovieFileName(), movies_ + "/Alpha.avi");
  // Closing the main window meanwhile (a signal, the session ending) closes
  // the viewer through its own close: the position reached is stored.
  ASSERT_TRUE(WaitFor([] {
    int64_t current = 0;
    IMediaSeeking* seeking = FrmViewer->FilterGraph->MediaSeeking();
    return seeking && seeking->GetCurrentPosition(&current) >= 0 && current >= 1LL * 10000000;
  }));
  w.close();
  EXPECT_FALSE(viewer->isVisible());
  EXPECT_GE(viewer->CurrentMovie().ViewPosition, 1);
  QString alphaSection;
  {
    const QString ini = QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile()));
    alphaSection = ini.mid(ini.indexOf(QStringLiteral("[Alpha.avi]")));
  }
  EXPECT_TRUE(alphaSection.contains(QStringLiteral("ViewPosition=%1").arg(viewer->CurrentMovie().ViewPosition)))
      << alphaSection.toStdString();
}

TEST_F(LibraryTest, WhileAMovieIsShownRefreshesMoveTheSelectionButStartNoPreview) {
  Place(movie_, movies_ + "/Bravo.avi");
  Place(movie_, movies_ + "/Charlie.avi");
  Parameters().InternalViewer = true;
  TFrmShowcase& w = Open();
  SelectAndPreview("Bravo", true);
  w.BtViewClick();
  ASSERT_TRUE(FrmViewer && FrmViewer->isVisible());

  // A movie copied in, then a disc put in: the list and the lines follow
  // the selection, no preview plays behind the viewer.
  Place(movie_, movies_ + "/Alpha.avi");
  w.SHChangeNotifyUpdateDir(0x1000, movies_);
  ASSERT_TRUE(Settled());
  testenv::DrainEvents();
  EXPECT_EQ(w.CurrentFile, movies_ + "/Alpha.avi");
  EXPECT_EQ(w._lbInfoFileName->Caption(), movies_ + "/Alpha.avi");
  EXPECT_FALSE(w.FilterGraph->Active());
  Place(movie_, cd_ + "/Zebra.avi");
  w.SHChangeNotifyMediaInserted(cd_);
  ASSERT_TRUE(Settled());
  testenv::DrainEvents();
  EXPECT_EQ(w.CurrentFile, cd_ + "/Zebra.avi");
  EXPECT_FALSE(w.FilterGraph->Active());

  // Closed: the preview stays stopped until another movie is chosen.
  FrmViewer->close();
  testenv::DrainEvents();
  EXPECT_FALSE(w.FilterGraph->Active());
  SelectAndPreview("Charlie", true);
}

TEST_F(LibraryTest, TheCopyOfACDMovieIsNotPreviewedBehindTheViewer) {
  Place(movie_, cd_ + "/Zebra.avi");
  Parameters().InternalViewer = true;
  TFrmShowcase& w = Open();
  ASSERT_EQ(w.SelectedItem()->text(0), "Zebra");
  w.BtViewClick();
  ASSERT_TRUE(FrmViewer && FrmViewer->isVisible());
  ASSERT_TRUE(Settled());
  // The copy's own change notification: the disk item now stands for the
  // CD's movie and is selected.
  w.SHChangeNotifyUpdateDir(0x1000, movies_);
  ASSERT_TRUE(Settled());
  testenv::DrainEvents();
  EXPECT_EQ(w.CurrentFile, movies_ + "/Zebra.avi");
  EXPECT_FALSE(w.FilterGraph->Active());
  FrmViewer->close();
  testenv::DrainEvents();
  EXPECT_FALSE(w.FilterGraph->Active());
}

TEST_F(LibraryTest, ARefreshWhileTheMovieIsHandedToItsProgramStartsNoPreview) {
  Place(movie_, movies_ + "/Bravo.avi");
  Place(movie_, base_ + "/Alpha.avi");
  // The associated program takes its time to answer; meanwhile a movie
  // arrives in the library.
  const QString opener = base_ + "/slow-opener.sh";
  testenv::WriteFile(opener, QStringLiteral("#!/bin/sh\nmv '%1/Alpha.avi' '%2/Alpha.avi'\nsleep 3\n")
                                 .arg(base_, movies_)
                                 .toUtf8());
  QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("CINVO_OPENER", opener.toLocal8Bit());
  TFrmShowcase& w = Open();
  SelectAndPreview("Bravo", true);
  w.BtViewClick();
  qunsetenv("CINVO_OPENER");
  EXPECT_FALSE(w.FilterGraph->Active()) << "a preview began while the movie was handed over";
  EXPECT_FALSE(QFile::exists(base_ + "/Alpha.avi"));
}

TEST_F(LibraryTest, AVanishedMovieIsNamedNotCountedAndTheListRefreshed) {
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, movies_ + "/Gone.avi");
  Parameters().CDReader.clear();
  testenv::RecordingOpener opener;
  TFrmShowcase& w = Open();
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Gone", true)));
  ASSERT_TRUE(QFile::remove(movies_ + "/Gone.avi"));
  try {
    w.BtViewClick();
    ADD_FAILURE() << "a vanished movie started";
  } catch (const EQSException& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()), "The movie " + movies_ + "/Gone.avi is no longer there.");
  }
  EXPECT_TRUE(opener.Calls().isEmpty());
  EXPECT_FALSE(QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile())).contains("Gone.avi"));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));
}

TEST_F(LibraryTest, AMovieThatCannotBePlayedKeepsItsRecordAsItWas) {
  const QString damaged = MovieFile(TMovieKind::TextFile);
  ASSERT_FALSE(damaged.isEmpty());
  Place(damaged, movies_ + "/Broken.avi");
  Place(damaged, movies_ + "/Seen.avi");
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(),
                                 "[Seen.avi]\r\nViewCount=3\r\nViewDate=45000.5\r\n"
                                 "ViewStrDate=13/03/2023 12:00:00\r\nViewPosition=42\r\n"));
  Parameters().CDReader.clear();
  const auto expectAsItWas = [&] {
    TMovieListDocument file(testenv::MovieListFile());
    EXPECT_FALSE(file.SectionExists("Broken.avi"));
    EXPECT_EQ(file.ReadString("Seen.avi", "ViewCount"), "3");
    EXPECT_EQ(file.ReadString("Seen.avi", "ViewDate"), "45000.5");
    EXPECT_EQ(file.ReadString("Seen.avi", "ViewStrDate"), "13/03/2023 12:00:00");
    EXPECT_EQ(file.ReadString("Seen.avi", "ViewPosition"), "42");
  };
  // The viewer cannot render them; nor can the associated program be found.
  for (const bool internal : {true, false}) {
    SCOPED_TRACE(internal ? "viewer" : "associated program");
    Parameters().InternalViewer = internal;
    testenv::RecordingOpener opener(3);
    TFrmShowcase& w = Open();
    for (const char* caption : {"Broken", "Seen"}) {
      w.ListView->setCurrentItem(w.Item(IndexOf(w, caption, true)));
      EXPECT_THROW(w.BtViewClick(), std::exception) << caption;
    }
    expectAsItWas();
    const TMovieData& seen = *w.Item(IndexOf(w, "Seen", true))->Data();
    EXPECT_EQ(seen.ViewCount, 3);
    EXPECT_DOUBLE_EQ(seen.ViewDate, 45000.5);
    EXPECT_EQ(w.Item(IndexOf(w, "Broken", true))->Data()->ViewCount, 0);
    window_.reset();
    ReleaseMovieList();
  }
}

TEST_F(LibraryTest, UpdateMoviePositionStoresItAndReachesEveryItemOfThatName) {
  Place(movie_, movies_ + "/Holiday.avi");
  Place(movie_, cd_ + "/Holiday.avi");
  TFrmShowcase& w = Open();
  ASSERT_EQ(Captions(w), QStringList({"Holiday", "Holiday"}));
  TMovieData closing(cd_ + "/HOLIDAY.avi", false);
  closing.ViewPosition = 5025;
  w.UpdateMoviePosition(closing);
  EXPECT_TRUE(QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile())).contains("ViewPosition=5025"));
  EXPECT_EQ(w.Item(0)->Data()->ViewPosition, 5025);
  EXPECT_EQ(w.Item(1)->Data()->ViewPosition, 5025);
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Holiday", true)));
  EXPECT_EQ(w._lbInfoLinked->Caption(), "Position : 1:23:45");
}

TEST_F(LibraryTest, TranslatedTextsShapeTheLinesAndAreNeverTakenAsFormats) {
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, movies_ + "/Beta.avi");
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  TMovieData* beta = w.Item(IndexOf(w, "Beta", true))->Data();
  beta->ViewCount = 3;
  beta->ViewPosition = 75;
  // A language file's texts, one with placeholders it should not have.
  (*AppStrings)[sSeenTimes] = QStringLiteral("Vu %d fois %s %n");
  (*AppStrings)[sPosition] = QStringLiteral("Position : %s %d %s");
  (*AppStrings)[sSize] = QStringLiteral("Taille ");
  w.btDiskMovie->setText(QStringLiteral("Voir le film"));
  w.ListView->setCurrentItem(w.Item(IndexOf(w, "Beta", true)));
  EXPECT_EQ(w._lbInfoViewCount->Caption(), "Vu 3 fois %s %n");
  EXPECT_EQ(w._lbInfoLinked->Caption(), "Position : 1:15 %d %s");
  EXPECT_TRUE(w._lbInfoSize->Caption().startsWith("Taille "));
  // The menu's first entry follows the button.
  Q_EMIT w.PopupMenu->aboutToShow();
  EXPECT_EQ(w._cmStart->text(), "Voir le film");
  EXPECT_EQ(w.PopupMenu->actions().first(), w._cmStart);
  EXPECT_EQ(w.PopupMenu->actions().at(4), w._N1);
  EXPECT_EQ(w.PopupMenu->actions().at(5), w.cmAbout);
}

TEST_F(LibraryTest, EditInfoFileMakesAMissingRecordsFileAndNamesTheFileWhenItFails) {
  Parameters().CDReader.clear();
  const QString records = testenv::MovieListFile();
  ASSERT_FALSE(QFile::exists(records));
  TFrmShowcase& w = Open();
  {
    testenv::RecordingOpener opener;
    w.cmEditInfoFileClick();
    EXPECT_EQ(opener.Calls(), QStringList({Opened(records)}));
    ASSERT_TRUE(QFile::exists(records));
    EXPECT_EQ(QFileInfo(records).size(), 0);
  }
  // The desktop finds no file there (gone meanwhile): the message says which.
  testenv::RecordingOpener missing(2);
  try {
    w.cmEditInfoFileClick();
    ADD_FAILURE() << "no error";
  } catch (const EToolsError& e) {
    EXPECT_TRUE(e.Message().startsWith("The specified file was not found.")) << e.what();
    EXPECT_TRUE(e.Message().contains(records)) << e.what();
  }
}

// ------------------------------------------------------------ CD copy

TEST_F(LibraryTest, ACDMovieIsCopiedBeforeItPlays) {
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, cd_ + "/Zebra.avi");
  testenv::RecordingOpener opener;
  TFrmShowcase& w = Open();
  ASSERT_EQ(w.SelectedItem()->text(0), "Zebra");
  w.BtViewClick();
  EXPECT_FALSE(w.Busy);
  EXPECT_EQ(opener.Calls(), QStringList({Opened(movies_ + "/Zebra.avi")}));
  EXPECT_EQ(QFileInfo(movies_ + "/Zebra.avi").size(), QFileInfo(movie_).size());
  ASSERT_TRUE(Settled());
  // Only disk items now, the copy among them; the CD stays known.
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Zebra"}));
  EXPECT_TRUE(w.Item(1)->Data()->Origin);
  EXPECT_EQ(w.CDFiles, QStringList({cd_ + "/Zebra.avi"}));
  EXPECT_TRUE(QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile())).contains("[Zebra.avi]"));
}

TEST_F(LibraryTest, ACDCopyIsRefusedWithoutRoomOrWhenTheUserKeepsTheOldFile) {
  Place(movie_, cd_ + "/Zebra.avi");
  testenv::RecordingOpener opener;
  TFrmShowcase& w = Open();
  const qint64 size = QFileInfo(movie_).size();
  ASSERT_EQ(w.SelectedItem()->Data()->FileSize, size);
  // 1.05 times the size is free: not enough.
  TFrmShowcase::SetFreeSpaceQuery([size](const QString&) { return std::optional<std::int64_t>(size * 105 / 100); });
  try {
    w.BtViewClick();
    ADD_FAILURE() << "copied without room";
  } catch (const EQSException& e) {
    EXPECT_STREQ(e.what(), "Not enough free space on hard disk to copy the movie.");
  }
  EXPECT_FALSE(w.Busy);
  EXPECT_FALSE(QFile::exists(movies_ + "/Zebra.avi"));
  // A file system that cannot say refuses too.
  TFrmShowcase::SetFreeSpaceQuery([](const QString&) { return std::optional<std::int64_t>(); });
  EXPECT_THROW(w.BtViewClick(), EQSException);
  EXPECT_TRUE(opener.Calls().isEmpty());

  // Refusing to replace a movie of the same name: no copy, nothing played.
  TFrmShowcase::SetFreeSpaceQuery({});
  testenv::WriteFile(movies_ + "/Zebra.avi", "the user's own Zebra");
  SetShellQuestion([](const QString&) { return false; });
  w.BtViewClick();
  EXPECT_FALSE(w.Busy);
  EXPECT_EQ(testenv::ReadFile(movies_ + "/Zebra.avi"), QByteArray("the user's own Zebra"));
  EXPECT_TRUE(opener.Calls().isEmpty());
  EXPECT_FALSE(QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile())).contains("Zebra"));
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty());
}

TEST_F(LibraryTest, WithoutAMoviesDirectoryACDMoviePlaysFromTheCD) {
  Place(movie_, cd_ + "/Zebra.avi");
  Parameters().MovieDir.clear();
  testenv::RecordingOpener opener;
  TFrmShowcase& w = Open();
  w.BtViewClick();
  EXPECT_EQ(opener.Calls(), QStringList({Opened(cd_ + "/Zebra.avi")}));
}

// ------------------------------------------------------ keeping current

TEST_F(LibraryTest, TakingTheCDOutRemovesItsItemsWithinOneTimerPeriod) {
  const bool mounted = Mount(cd_);
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, cd_ + "/Zebra.avi");
  Place(movie_, cd_ + "/Yak.avi");
  TFrmShowcase& w = Open();
  ASSERT_EQ(Captions(w), QStringList({"Alpha", "Yak", "Zebra"}));
  SelectAndPreview("Zebra", false);
  // Out goes the disc (or, without the right to mount, its files).
  if (mounted) {
    Unmount(cd_);
  } else {
    QFile::remove(cd_ + "/Zebra.avi");
    QFile::remove(cd_ + "/Yak.avi");
  }
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 1; }, 10000));
  EXPECT_LE(clock.elapsed(), 2500 + 1000) << "one timer period, with room for a slow machine";
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));
  EXPECT_NE(w.FilterGraph->GraphState(), 3) << "the preview of a CD movie stops with the CD";
  EXPECT_TRUE(w.CDFiles.isEmpty());
  // Nothing of the movie that went stays shown.
  EXPECT_EQ(InfoLines(w), QStringList(6, QString()));
  EXPECT_TRUE(w.DSVideoWindow->CurrentFrame().isNull());

  // In again: listed at the next timer tick at the latest.
  if (mounted) {
    ASSERT_TRUE(Mount(cd_));
  }
  Place(movie_, cd_ + "/Zebra.avi");
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 2; }, 10000));
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Zebra"}));
  if (mounted) Unmount(cd_);
}

TEST_F(LibraryTest, AListRefreshedWhileTheDiscIsScannedListsNoMovieTwice) {
  Place(movie_, movies_ + "/Bravo.avi");
  Place(movie_, cd_ + "/Bravo.avi");
  Place(movie_, cd_ + "/Zebra.avi");
  TFrmShowcase& w = Open();
  w.RefreshLists();  // the disk item stands for the disc's Bravo
  ASSERT_TRUE(Settled());
  ASSERT_EQ(Captions(w), QStringList({"Bravo", "Zebra"}));
  // A change of the library is reported while the disc is looked at again
  // (a timer tick, a disc put in): it is handled inside that scan.
  QTimer::singleShot(0, &w, [&] { w.SHChangeNotifyUpdateDir(0x1000, movies_); });
  w.ScanCD();
  ASSERT_TRUE(Settled());
  testenv::DrainEvents();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Bravo", "Zebra"}));
  EXPECT_EQ(ListedTwice(w), QString());
  EXPECT_EQ(w.CDFiles.size(), 2);
}

TEST_F(LibraryTest, ACopiedCDMovieIsNeverListedBesideItsCopyWhateverRescansFollow) {
  // The disc comes and goes as a mount where the test may mount, else as
  // its files with the notifications a disc gives.
  const bool mounted = Mount(cd_);
  if (mounted) Unmount(cd_);
  // A library of some size: its walk takes a while.
  for (int i = 0; i < 400; ++i) testenv::WriteFile(movies_ + QStringLiteral("/Film %1.avi").arg(i, 4, 10, QChar('0')), {});
  Place(movie_, movies_ + "/Bravo.avi");  // on the disk and on the disc
  testenv::RecordingOpener opener;
  TFrmShowcase& w = Open();
  const auto discIn = [&] {
    if (mounted) {
      ASSERT_TRUE(Mount(cd_));
    }
    Place(movie_, cd_ + "/Alpha.avi");
    Place(movie_, cd_ + "/Bravo.avi");
    if (!mounted) w.SHChangeNotifyMediaInserted(cd_);
  };
  const auto discOut = [&] {
    if (mounted) {
      Unmount(cd_);
    } else {
      QFile::remove(cd_ + "/Alpha.avi");
      QFile::remove(cd_ + "/Bravo.avi");
      w.SHChangeNotifyMediaRemoved(cd_);
    }
  };
  // Every state of the list is looked at, also those painted inside the
  // waits of a rescan.
  QString twice;
  QObject::connect(w.ListView->model(), &QAbstractItemModel::rowsInserted, &w, [&] {
    if (twice.isEmpty()) twice = ListedTwice(w);
  });
  for (int round = 0; round < 8 && twice.isEmpty(); ++round) {
    SCOPED_TRACE(round);
    discIn();
    ASSERT_TRUE(WaitFor([&] { return IndexOf(w, "Alpha", false) >= 0 && !w.ListsPending(); }));
    // Alpha is copied and played; while the lists are rebuilt the disc is
    // taken out and put back, and the copy's change notification comes.
    w.ListView->setCurrentItem(w.Item(IndexOf(w, "Alpha", false)));
    w.BtViewClick();
    discOut();
    discIn();
    // A generous bound: the copy, two rescans and the walk of every file.
    ASSERT_TRUE(WaitFor(
        [&] {
          return IndexOf(w, "Alpha", true) >= 0 && IndexOf(w, "Bravo", true) >= 0 && !w.ListsPending() &&
                 w.CDFiles.size() == 2;
        },
        90000));
    // The copy is deleted and the disc taken out.
    ASSERT_TRUE(QFile::remove(movies_ + "/Alpha.avi"));
    discOut();
    ASSERT_TRUE(WaitFor([&] { return IndexOf(w, "Alpha", true) < 0 && w.CDFiles.isEmpty() && !w.ListsPending(); }));
  }
  EXPECT_EQ(twice, QString()) << "listed from the disk and from the disc";
  if (mounted) Unmount(cd_);
}

TEST_F(LibraryTest, ADirectoryChangeInOrBesideTheLibraryRefreshesIt) {
  Place(movie_, movies_ + "/Alpha.avi");
  TFrmShowcase& w = Open();
  Place(movie_, movies_ + "/Beta.avi");
  // Elsewhere: nothing happens.
  EXPECT_FALSE(w.IsWatchedPath(base_ + "/Other/x.avi"));
  w.SHChangeNotifyUpdateDir(0x1000, base_ + "/Other");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));
  // A sibling whose name begins with the library's counts (a plain prefix).
  EXPECT_TRUE(w.IsWatchedPath(base_ + "/Movies2/x.avi"));
  EXPECT_TRUE(w.IsWatchedPath(base_.toUpper() + "/MOVIES/x.avi"));
  EXPECT_TRUE(w.IsWatchedPath(cd_ + "/x.avi"));
  w.SHChangeNotifyUpdateDir(0x1000, base_ + "/Movies2");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Beta"}));
}

TEST_F(LibraryTest, AMovieAddedToTheLibraryAppearsByItself) {
  Place(movie_, movies_ + "/Alpha.avi");
  QDir().mkpath(movies_ + "/sub");
  Parameters().Recurse = true;
  TFrmShowcase& w = Open();
  ASSERT_EQ(Captions(w), QStringList({"Alpha"}));
  // Copied in by another program: the change notification refreshes the
  // list, without waiting for anything else.
  Place(movie_, movies_ + "/sub/Beta.avi");
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 2 && !w.ListsPending(); }));
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Beta"}));
  QFile::remove(movies_ + "/Alpha.avi");
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 1 && !w.ListsPending(); }));
  EXPECT_EQ(Captions(w), QStringList({"Beta"}));
}

TEST_F(LibraryTest, AMoviesDirectoryWrittenAnyWayRefreshesByItself) {
  Place(movie_, movies_ + "/Alpha.avi");
  ASSERT_TRUE(QDir().mkpath(base_ + "/other"));
  ASSERT_TRUE(QFile::link(movies_, base_ + "/link"));
  Parameters().CDReader.clear();
  const QStringList forms = {movies_ + "/", base_ + "/other/../Movies", movies_ + "/.", base_ + "//Movies",
                             base_ + "/link"};
  for (const QString& form : forms) {
    SCOPED_TRACE(form.toStdString());
    Parameters().MovieDir = form;
    TFrmShowcase& w = Open();
    ASSERT_EQ(Captions(w), QStringList({"Alpha"}));
    // Copied in by another program.
    Place(movie_, movies_ + "/Beta.avi");
    EXPECT_TRUE(WaitFor([&] { return w.ItemCount() == 2 && !w.ListsPending(); }));
    EXPECT_EQ(Captions(w), QStringList({"Alpha", "Beta"}));
    window_.reset();
    QFile::remove(movies_ + "/Beta.avi");
  }
}

TEST_F(LibraryTest, AMoviesDirectoryMadeLaterOrMadeAgainIsWatched) {
  // The default directory of a first run, or one on a drive not there yet.
  const QString later = base_ + "/drive/Movies";
  Parameters().MovieDir = later;
  Parameters().CDReader.clear();
  TFrmShowcase& w = Open();
  EXPECT_EQ(w.ItemCount(), 0);
  ASSERT_TRUE(QDir().mkpath(later));
  Place(movie_, later + "/Alpha.avi");
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 1 && !w.ListsPending(); }));
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));

  // rm -rf Movies; mkdir Movies; then a movie copied in.
  ASSERT_TRUE(QDir(later).removeRecursively());
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 0 && !w.ListsPending(); }));
  ASSERT_TRUE(QDir().mkpath(later));
  Place(movie_, later + "/Beta.avi");
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 1 && !w.ListsPending(); }));
  EXPECT_EQ(Captions(w), QStringList({"Beta"}));
}

TEST_F(LibraryTest, ConfirmedParametersRebuildTheLists) {
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, base_ + "/Other/Omega.avi");
  TFrmShowcase& w = Open();
  ASSERT_EQ(Captions(w), QStringList({"Alpha"}));
  w.SetMovieDir(base_ + "/Other");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Omega"}));
  EXPECT_EQ(w.ListMovieDir, base_ + "/Other");
}

TEST_F(LibraryTest, TheChosenMovieTypesAreListedFromDiskCDAndChanges) {
  Place(MovieFile(TMovieKind::MatroskaMjpegPcm), movies_ + "/Alpha.mkv");
  Place(MovieFile(TMovieKind::Mp4Mpeg4Aac), movies_ + "/Bravo.MP4");
  Place(movie_, movies_ + "/Zulu.avi");
  Place(MovieFile(TMovieKind::MatroskaMjpegPcm), cd_ + "/Delta.mkv");
  TFrmShowcase& w = Open();
  EXPECT_EQ(Captions(w), QStringList({"Zulu"}));  // "*.avi" unless changed

  Parameters().MovieTypes = kCommonMovieTypes;
  w.RefreshLists();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Bravo", "Delta", "Zulu"}));
  EXPECT_FALSE(w.Item(IndexOf(w, "Delta", false))->Data()->Origin);
  // Records work alike for every type: the MP4 is counted.
  w.Item(IndexOf(w, "Bravo", true))->Data()->RecordView();
  EXPECT_EQ(MovieList().ReadString("Bravo.MP4", "ViewCount"), "1");

  // A movie of a listed type copied in later appears by itself.
  Place(MovieFile(TMovieKind::Mp4Mpeg4Aac), movies_ + "/Echo.m4v");
  ASSERT_TRUE(WaitFor([&] { return w.ItemCount() == 5 && !w.ListsPending(); }));
  EXPECT_EQ(Captions(w), QStringList({"Alpha", "Bravo", "Delta", "Echo", "Zulu"}));
}

TEST_F(LibraryTest, AnEmptyListSaysWhatWasSearchedAndNothingCanBeStarted) {
  Parameters().CDReader.clear();
  Place(movie_, movies_ + "/Alpha.mkv");  // not of the default type
  TFrmShowcase& w = Open();
  ASSERT_EQ(w.ItemCount(), 0);
  EXPECT_TRUE(w._lbEmptyList->isVisible());
  const QString empty = w._lbEmptyList->text();
  EXPECT_TRUE(empty.contains("No movies found in " + movies_)) << empty.toStdString();
  EXPECT_TRUE(empty.contains("Types searched: *.avi")) << empty.toStdString();
  EXPECT_TRUE(empty.contains("\"Parameters\"")) << empty.toStdString();
  EXPECT_FALSE(w.btDiskMovie->isEnabled());
  EXPECT_FALSE(w._cmStart->isEnabled());
  w.BtViewClick();  // nothing selected: nothing happens
  EXPECT_EQ(FrmViewer, nullptr);

  w.SetMovieDir(base_ + "/gone");
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(w._lbEmptyList->text().contains("The movies directory " + base_ + "/gone does not exist."))
      << w._lbEmptyList->text().toStdString();

  // With movies the text goes and the start follows the selection.
  Parameters().MovieTypes = "*.mkv";
  w.SetMovieDir(movies_);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Captions(w), QStringList({"Alpha"}));
  EXPECT_FALSE(w._lbEmptyList->isVisible());
  w.ListView->setCurrentItem(w.Item(0));
  EXPECT_TRUE(w.btDiskMovie->isEnabled());
  w.ListView->clearSelection();
  EXPECT_FALSE(w.btDiskMovie->isEnabled());
}

// ------------------------------------------------------- the real program

// Runs a command to its end; its standard output.
QString RunTool(const QString& program, const QStringList& arguments, int ms = 30000) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(ms);
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Starts the program on the settings in `hive` and presses Enter in its
// main window, as a user would, until it hands a movie to `opener`; the run
// has ended when this returns without a failure.
void StartAndPressEnter(QProcess& cinvo, const QString& hive, const QString& base,
                        testenv::RecordingOpener& opener) {
  const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("CINVO_REGISTRY"), hive);
  env.insert(QStringLiteral("CINVO_MOVIELIST"), base + "/MovieList.ini");
  // A bus that is not there: without any, the toolkit would try to start a
  // session bus of its own.
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + base + "/no-bus");
  cinvo.setProcessEnvironment(env);
  cinvo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  cinvo.start(QStringLiteral(CINVO_PROGRAM), QStringList());
  ASSERT_TRUE(cinvo.waitForStarted(10000));
  // The window, once it is there, gets the keyboard; the list has selected
  // its first movie by then.
  const QString pid = QString::number(cinvo.processId());
  QString window;
  QElapsedTimer clock;
  clock.start();
  while (window.isEmpty() && clock.elapsed() < 30000) {
    window = RunTool(xdotool, {"search", "--onlyvisible", "--pid", pid, "--name", "^Cinvo$"}).section('\n', 0, 0);
    if (window.isEmpty()) QThread::msleep(100);
  }
  ASSERT_FALSE(window.isEmpty()) << "no main window";
  // Enter, as a user would press it, until the program reacts (the window
  // may not have the keyboard at once: there is no window manager here).
  for (int tries = 0; tries < 20 && cinvo.state() == QProcess::Running && opener.Calls().isEmpty(); ++tries) {
    RunTool(xdotool, {"windowfocus", window});
    RunTool(xdotool, {"key", "Return"});
    cinvo.waitForFinished(1000);
  }
  // Handed to the associated program, and the launcher ends.
  if (cinvo.state() != QProcess::NotRunning) cinvo.waitForFinished(30000);
  ASSERT_EQ(cinvo.state(), QProcess::NotRunning) << "still running";
}

TEST_F(LibraryTest, TheProgramListsTheLibraryAndStartsTheFirstMovieOnEnter) {
  const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
  if (qEnvironmentVariableIsEmpty("DISPLAY") || xdotool.isEmpty()) GTEST_SKIP() << "needs X11 and xdotool";
  Place(movie_, movies_ + "/Alpha.avi");
  Place(movie_, movies_ + "/sub/Beta.avi");
  const QString hive = base_ + "/registry.json";
  // The program's own key, under its own name.
  const auto initial = [&hive] {
    return QJsonDocument::fromJson(testenv::ReadFile(hive))
        .object()["Software"].toObject()["Vessa"].toObject()["Cinvo"].toObject()["Initial"].toObject();
  };
  {
    const QJsonObject parameters{{"MovieDir", movies_}, {"CDReader", cd_}, {"Recurse", 1},
                                 {"InternalViewer", 0}, {"ExitOnView", 1}};
    const QJsonObject root{{"Software", QJsonObject{{"Vessa", QJsonObject{{"Cinvo", QJsonObject{{"Initial", parameters}}}}}}}};
    ASSERT_TRUE(testenv::WriteFile(hive, QJsonDocument(root).toJson()));
  }
  testenv::RecordingOpener opener;  // in the environment the program inherits
  QProcess cinvo;
  StartAndPressEnter(cinvo, hive, base_, opener);
  if (HasFatalFailure()) return;
  EXPECT_EQ(cinvo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(cinvo.exitCode(), 0);
  EXPECT_EQ(opener.Calls(), QStringList({Opened(movies_ + "/Alpha.avi")}));
  const QString ini = QString::fromUtf8(testenv::ReadFile(base_ + "/MovieList.ini"));
  EXPECT_TRUE(ini.contains("[Alpha.avi]")) << ini.toStdString();
  EXPECT_TRUE(ini.contains("ViewCount=1")) << ini.toStdString();
  // The parameters are saved; this run's list width is not.
  EXPECT_EQ(initial()["MovieDir"].toString(), movies_);
  EXPECT_EQ(initial()["InternalViewer"].toInt(-1), 0);
  EXPECT_EQ(initial()["CopyFromCD"].toInt(-1), 1) << "saved with its default";
  EXPECT_FALSE(initial().contains("ListViewWidth"));
}

TEST_F(LibraryTest, TheProgramListsTheTypesChosenInItsParameters) {
  const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
  if (qEnvironmentVariableIsEmpty("DISPLAY") || xdotool.isEmpty()) GTEST_SKIP() << "needs X11 and xdotool";
  // Sorted first when listed: Enter starts the first movie of the list.
  Place(MovieFile(TMovieKind::MatroskaMjpegPcm), movies_ + "/Alpha.mkv");
  Place(MovieFile(TMovieKind::Mp4Mpeg4Aac), movies_ + "/Bravo.mp4");
  Place(movie_, movies_ + "/Zulu.avi");
  const QString hive = base_ + "/registry.json";
  for (const QString& types : {QString(), kCommonMovieTypes}) {
    QJsonObject parameters{{"MovieDir", movies_}, {"CDReader", ""}, {"InternalViewer", 0}, {"ExitOnView", 1}};
    if (!types.isEmpty()) parameters["MovieTypes"] = types;  // else the default
    const QJsonObject root{{"Software", QJsonObject{{"Vessa", QJsonObject{{"Cinvo", QJsonObject{{"Initial", parameters}}}}}}}};
    ASSERT_TRUE(testenv::WriteFile(hive, QJsonDocument(root).toJson()));
    testenv::RecordingOpener opener;
    QProcess cinvo;
    StartAndPressEnter(cinvo, hive, base_, opener);
    if (HasFatalFailure()) return;
    const QString first = types.isEmpty() ? "/Zulu.avi" : "/Alpha.mkv";
    EXPECT_EQ(opener.Calls(), QStringList({Opened(movies_ + first)})) << types.toStdString();
  }
}

}  // namespace
