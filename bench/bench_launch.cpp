// The program as a user starts it, watched from outside on the X display:
//  - start of `cinvo` to its main window mapped, next to an empty Qt window
//    shown by a minimal program (reference_window), runs interleaved; and
//    next to that window holding one line of text, which sets up the fonts
//    before it is shown as any window with words in it must;
//  - CPU used by the idle main window over 60 s (list shown, nothing
//    previewed: the movies are empty files; the timer and the watchers
//    running), for a library of 10,000 movies in 100 directories and one of
//    five, with the empty window's use over the same 60 s beside them.
//
// Run under X11 (xvfb-run) with no window manager. Any argument other than
// --no-idle is ignored; --no-idle skips the 60 s measure.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>


// Last: Xlib's macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include "bench/bench_table.h"
#include "bench/private_env.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 7;
constexpr int kIdleSeconds = 60;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A movies directory with its settings and records, private to one
// running copy of the program (its own runtime directory too, so that
// copies do not meet as one instance).
struct TSetup {
  QTemporaryDir dir;
  QProcessEnvironment Env() const {
    QProcessEnvironment env = benchenv::PrivateEnvironment(dir.path());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
  }
};

// Empty movies: `directories` of `each` (none: all in the movies directory).
bool MakeSetup(TSetup& setup, int directories, int each) {
  const QString movies = setup.dir.filePath("Movies");
  for (int d = 0; d < std::max(directories, 1); ++d) {
    const QString sub = directories ? QStringLiteral("%1/Shelf %2").arg(movies).arg(d, 3, 10, QLatin1Char('0')) : movies;
    if (!QDir().mkpath(sub)) return false;
    for (int i = 0; i < each; ++i) {
      QFile file(QStringLiteral("%1/Movie %2.avi").arg(sub).arg(d * each + i, 5, 10, QLatin1Char('0')));
      if (!file.open(QIODevice::WriteOnly)) return false;
    }
  }
  // The settings a user would have made in the parameters dialog, where the
  // program keeps them (under its own name, which is not this program's).
  const QJsonObject initial{{"MovieDir", movies}, {"Recurse", directories > 0 ? 1 : 0}};
  const QJsonObject hive{{"Software", QJsonObject{{"Vessa", QJsonObject{{"Cinvo", QJsonObject{{"Initial", initial}}}}}}}};
  QFile registry(setup.dir.filePath("registry.json"));
  if (!registry.open(QIODevice::WriteOnly) || registry.write(QJsonDocument(hive).toJson()) <= 0) return false;
  return true;
}

// Top-level windows mapped on the display, by title.
class TMapWatch {
 public:
  TMapWatch() : fDisplay(XOpenDisplay(nullptr)) {
    if (fDisplay) {
      XSelectInput(fDisplay, DefaultRootWindow(fDisplay), SubstructureNotifyMask);
      XSync(fDisplay, True);
    }
  }
  ~TMapWatch() {
    if (fDisplay) XCloseDisplay(fDisplay);
  }
  bool Ok() const { return fDisplay != nullptr; }
  void Discard() { XSync(fDisplay, True); }
  // When the first window titled `title` was mapped; false after 30 s.
  bool WaitForMapped(const char* title, Clock::time_point& at) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
      while (XPending(fDisplay)) {
        XEvent event;
        XNextEvent(fDisplay, &event);
        if (event.type != MapNotify) continue;
        const auto mapped = Clock::now();
        char* name = nullptr;
        const bool match = XFetchName(fDisplay, event.xmap.window, &name) && name && qstrcmp(name, title) == 0;
        if (name) XFree(name);
        if (match) {
          at = mapped;
          return true;
        }
      }
      pollfd fd{ConnectionNumber(fDisplay), POLLIN, 0};
      poll(&fd, 1, 100);
    }
    return false;
  }

 private:
  Display* fDisplay;
};

// Start of `program` to its window mapped, in ms; -1 on failure. The
// program is ended after.
double StartMs(TMapWatch& watch, const QString& program, const QProcessEnvironment& env,
               const QStringList& arguments = {}) {
  watch.Discard();
  QProcess process;
  process.setProcessEnvironment(env);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  const auto start = Clock::now();
  process.start(program, arguments);
  Clock::time_point mapped;
  const bool ok = watch.WaitForMapped("Cinvo", mapped);
  process.terminate();
  if (!process.waitForFinished(10000)) process.kill(), process.waitForFinished();
  return ok ? std::chrono::duration<double, std::milli>(mapped - start).count() : -1;
}

// CPU seconds used so far by a running process, all its threads.
double CpuSeconds(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  const QByteArray text = stat.readAll();
  // Fields after the command name, which may hold blanks: utime and stime
  // are the 14th and 15th of the whole line.
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return -1;
  return (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // this process shows nothing
  QApplication app(argc, argv);
  const bool idle = !QCoreApplication::arguments().contains(QStringLiteral("--no-idle"));
  TMapWatch watch;
  if (!watch.Ok()) {
    std::fprintf(stderr, "no X display (run under xvfb-run)\n");
    return 1;
  }
  const QString cinvo = QStringLiteral(CINVO_PROGRAM);
  const QString reference = QStringLiteral(REFERENCE_WINDOW_PROGRAM);

  TSetup small;
  if (!MakeSetup(small, 0, 5)) return 1;
  std::vector<double> ours, minimal, text;
  for (int run = 0; run <= kRuns; ++run) {
    const double o = StartMs(watch, cinvo, small.Env());
    const double r = StartMs(watch, reference, small.Env());
    const double t = StartMs(watch, reference, small.Env(), {"--text"});
    if (o < 0 || r < 0 || t < 0) {
      std::fprintf(stderr, "a window was not shown\n");
      return 1;
    }
    if (run == 0) continue;  // the first of each warms the caches
    ours.push_back(o);
    minimal.push_back(r);
    text.push_back(t);
    std::printf("run %d: cinvo %.0f ms, empty Qt window %.0f ms, with a line of text %.0f ms\n", run, o, r, t);
    std::fflush(stdout);
  }
  const double o = Median(ours), r = Median(minimal), t = Median(text);
  std::printf("\nstart to window shown, median of %d runs: cinvo %.0f ms, empty Qt window %.0f ms, ratio %.2f "
              "(aim: at most 1.5); the window with a line of text %.0f ms, ratio %.2f\n",
              kRuns, o, r, r > 0 ? o / r : 0.0, t, t > 0 ? o / t : 0.0);
  benchtable::Row(QStringLiteral("start to main window shown / empty Qt window"),
                  QString::number(r > 0 ? o / r : 0.0, 'f', 2),
                  QStringLiteral("%1 ms / %2 ms").arg(o, 0, 'f', 0).arg(r, 0, 'f', 0), QStringLiteral("<= 1.50"));
  std::fflush(stdout);
  if (!idle) return 0;

  TSetup large;
  std::printf("\nmaking 10,000 empty movies in 100 directories...\n");
  std::fflush(stdout);
  if (!MakeSetup(large, 100, 100)) return 1;
  struct TRunning {
    const char* name;
    std::unique_ptr<QProcess> process;
    double before = 0;
  };
  std::vector<TRunning> running;
  running.push_back({"cinvo, 10,000 movies", std::make_unique<QProcess>()});
  running.push_back({"cinvo, 5 movies", std::make_unique<QProcess>()});
  running.push_back({"empty Qt window", std::make_unique<QProcess>()});
  const QProcessEnvironment envs[] = {large.Env(), small.Env(), small.Env()};
  const QString programs[] = {cinvo, cinvo, reference};
  for (std::size_t i = 0; i < running.size(); ++i) {
    running[i].process->setProcessEnvironment(envs[i]);
    running[i].process->setStandardOutputFile(QProcess::nullDevice());
    running[i].process->setStandardErrorFile(QProcess::nullDevice());
    running[i].process->start(programs[i], {});
    Clock::time_point mapped;
    watch.Discard();
    if (!watch.WaitForMapped("Cinvo", mapped)) {
      std::fprintf(stderr, "%s showed no window\n", running[i].name);
      return 1;
    }
  }
  // The lists built and the first (failing) preview over.
  QThread::sleep(10);
  for (auto& r : running) r.before = CpuSeconds(r.process->processId());
  QThread::sleep(kIdleSeconds);
  std::printf("idle over %d s (aim for the main window: under 0.2 %% of one core):\n", kIdleSeconds);
  for (auto& r : running) {
    const double used = CpuSeconds(r.process->processId()) - r.before;
    std::printf("  %-22s %.3f s CPU, %.3f %% of one core\n", r.name, used, used * 100.0 / kIdleSeconds);
    r.process->terminate();
    if (!r.process->waitForFinished(10000)) r.process->kill(), r.process->waitForFinished();
  }
  return 0;
}
