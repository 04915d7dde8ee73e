// A large library in the main window: 10,000 AVI files (empty) in 100
// directories, each with its section in a 10,000-section MovieList.ini.
// Times RefreshLists to the complete list, next to `find` stating every file
// of the same tree, runs interleaved; and the longest the event loop was
// blocked meanwhile, seen by a 5 ms timer.
//
// Run under X11 (xvfb-run) to paint the list for real, or with
// QT_QPA_PLATFORM=offscreen.
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "bench/private_env.h"
#include "framework/qs_application.h"
#include "framework/qs_contexte.h"
#include "framework/qs_tools.h"

namespace {

constexpr int kDirectories = 100;
constexpr int kPerDirectory = 100;
constexpr int kRuns = 7;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The tree and its records file.
bool MakeLibrary(const QString& root, const QString& iniPath) {
  QByteArray ini;
  for (int d = 0; d < kDirectories; ++d) {
    const QString dir = QStringLiteral("%1/Shelf %2").arg(root).arg(d, 3, 10, QLatin1Char('0'));
    if (!QDir().mkpath(dir)) return false;
    for (int i = 0; i < kPerDirectory; ++i) {
      const QString name = QStringLiteral("Movie %1.avi").arg(d * kPerDirectory + i, 5, 10, QLatin1Char('0'));
      QFile file(dir + QLatin1Char('/') + name);
      if (!file.open(QIODevice::WriteOnly)) return false;
      ini += "[" + name.toLatin1() + "]\nViewCount=" + QByteArray::number(i % 5) +
             "\nViewDate=45123.5123456789\nViewStrDate=17/07/2023 12:17:47\nViewPosition=" +
             QByteArray::number(i * 37) + "\n\n";
    }
  }
  QFile file(iniPath);
  return file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size();
}

// The largest gap between ticks of a 5 ms timer since the last Reset.
class TBlockWatch {
 public:
  TBlockWatch() {
    fTimer.setTimerType(Qt::PreciseTimer);
    fTimer.setInterval(5);
    QObject::connect(&fTimer, &QTimer::timeout, [this] {
      fLongest = std::max(fLongest, fSinceTick.nsecsElapsed() / 1e6);
      fSinceTick.restart();
    });
    fSinceTick.start();
    fTimer.start();
  }
  void Reset() {
    fLongest = 0;
    fSinceTick.restart();
  }
  // The gap still open counts too.
  double LongestMs() const { return std::max(fLongest, fSinceTick.nsecsElapsed() / 1e6); }

 private:
  QTimer fTimer;
  QElapsedTimer fSinceTick;
  double fLongest = 0;
};

// Runs the event loop until the window's lists are complete; false after
// 60 s.
bool WaitForLists(TFrmShowcase& window) {
  if (!window.ListsPending() && window.Activated) return true;
  QEventLoop loop;
  bool done = false;
  const auto connection = QObject::connect(&window, &TFrmShowcase::ListsComplete, &loop, [&] {
    done = true;
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(connection);
  return done;
}

void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The walk alone, as the window's worker makes it, on this thread.
double WalkMs(const QString& root) {
  int found = 0;
  QElapsedTimer clock;
  clock.start();
  ForEachFileTree(root + QStringLiteral("/*.avi"), -1, [&](const QString&, const TSearchRec&) { ++found; });
  return found == kDirectories * kPerDirectory ? clock.nsecsElapsed() / 1e6 : -1;
}

// `find` stating every movie of the tree, as a shell user would list it.
double FindMs(const QString& find, const QString& root) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  process.start(find, {root, "-iname", "*.avi", "-type", "f", "-printf", "%s %T@\n"});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return -1;
  return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir base;
  benchenv::UsePrivateEnvironment(base.path());

  TqsApplication app(argc, argv);
  SetErrorDisplay([](const QString& message) { std::fprintf(stderr, "error shown: %s\n", qPrintable(message)); });
  const QString find = QStandardPaths::findExecutable(QStringLiteral("find"));
  const QString root = base.path() + QStringLiteral("/Movies");
  std::printf("making %d empty movies in %d directories and their records...\n", kDirectories * kPerDirectory,
              kDirectories);
  if (find.isEmpty() || !MakeLibrary(root, base.path() + QStringLiteral("/MovieList.ini"))) {
    std::fprintf(stderr, "cannot make the library (or no find)\n");
    return 1;
  }

  InitializeSettingsUnit();
  InitializeLauncherStrings();
  Parameters().Load();
  Parameters().MovieDir = root;
  Parameters().CDReader = QString();
  Parameters().Recurse = true;

  TBlockWatch watch;
  QElapsedTimer clock;
  clock.start();
  auto* window = new TFrmShowcase();
  window->show();
  if (!WaitForLists(*window)) {
    std::fprintf(stderr, "the first listing did not complete\n");
    return 1;
  }
  const double firstMs = clock.nsecsElapsed() / 1e6;
  const double firstBlockMs = watch.LongestMs();
  if (window->ItemCount() != kDirectories * kPerDirectory) {
    std::fprintf(stderr, "listed %d movies, expected %d\n", window->ItemCount(), kDirectories * kPerDirectory);
    return 1;
  }
  RunFor(500);  // the first selection's (failing) preview settles

  std::vector<double> ours, reference, blocked, walk;
  for (int run = 0; run < kRuns; ++run) {
    watch.Reset();
    clock.restart();
    window->RefreshLists();
    if (!WaitForLists(*window)) {
      std::fprintf(stderr, "a refresh did not complete\n");
      return 1;
    }
    ours.push_back(clock.nsecsElapsed() / 1e6);
    RunFor(100);  // the repaint of the complete list belongs to it
    blocked.push_back(watch.LongestMs());
    if (window->ItemCount() != kDirectories * kPerDirectory) {
      std::fprintf(stderr, "a refresh listed %d movies\n", window->ItemCount());
      return 1;
    }
    reference.push_back(FindMs(find, root));
    walk.push_back(WalkMs(root));
    std::printf("run %d: RefreshLists %.0f ms, find %.0f ms, longest block %.1f ms, walk alone %.0f ms\n", run + 1,
                ours.back(), reference.back(), blocked.back(), walk.back());
  }
  delete window;
  ReleaseMovieList();
  ReleaseParameters();
  FinalizeSettingsUnit();

  const double o = Median(ours), r = Median(reference);
  std::printf("\nfirst listing (window shown to complete list): %.0f ms, longest block %.1f ms\n", firstMs,
              firstBlockMs);
  std::printf("10,000 movies in 100 directories, median of %d runs: RefreshLists to complete list %.0f ms, "
              "find with stat %.0f ms, ratio %.2f (aim: at most 2)\n",
              kRuns, o, r, r > 0 ? o / r : 0.0);
  std::printf("of which the directory walk alone (on one thread, no list): %.0f ms\n", Median(walk));
  std::printf("longest event-loop block during a refresh: median %.1f ms, worst %.1f ms (aim: under 100 ms)\n",
              Median(blocked), *std::max_element(blocked.begin(), blocked.end()));
  return 0;
}
