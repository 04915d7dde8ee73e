// Playing cost of the whole program: `cinvo movie.avi` playing a 10 s
// 1280x720 MPEG-4/MP3 movie, then a 1920x1080 H.264 one at its own size, to
// its end in the viewer, against gst-launch-1.0
// playing the same file into ximagesink, in the same run. Prints the CPU
// seconds of each (median of the rounds) and their ratio.
//
// Needs an X display with a 1920x1080 screen (xvfb-run -a -s '-screen 0 1920x1080x24').
#include <sys/resource.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench_table.h"
#include "bench/private_env.h"

namespace {

constexpr int kSeconds = 10;
constexpr int kRounds = 3;

// CPU seconds of every ended child so far.
double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// 1280x720 MPEG-4/MP3 in AVI, or 1920x1080 H.264/MP3 in Matroska (under
// the name the library lists).
QString MakeMovie(const QString& dir, bool fullHd) {
  const QString path = QDir(dir).filePath(fullHd ? QStringLiteral("fullhd.avi") : QStringLiteral("hd.avi"));
  const QString seconds = QString::number(kSeconds);
  const QStringList video = fullHd ? QStringList{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"}
                                   : QStringList{"-c:v", "mpeg4", "-vtag", "XVID", "-q:v", "5"};
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                      QStringLiteral("testsrc=size=%1:rate=25:duration=").arg(fullHd ? "1920x1080" : "1280x720") +
                          seconds,
                      "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + seconds} +
              video + QStringList{"-c:a", "libmp3lame", "-b:a", "128k"} +
              (fullHd ? QStringList{"-f", "matroska"} : QStringList{}) + QStringList{path});
  return p.waitForFinished(300000) && p.exitCode() == 0 ? path : QString();
}

bool HasVisibleWindow(qint64 pid) {
  QProcess search;
  search.start(QStringLiteral("xdotool"), {"search", "--all", "--onlyvisible", "--pid", QString::number(pid)});
  search.waitForFinished();
  return search.exitCode() == 0 && !search.readAllStandardOutput().trimmed().isEmpty();
}

// The program plays the movie to its end (the viewer then stays open on the
// last picture) and is ended with SIGTERM half a second later.
double CinvoRun(const QString& program, const QString& movie, const QString& dir) {
  QProcessEnvironment env = benchenv::PrivateEnvironment(dir);
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("CINVO_ERRORS_TO_STDERR", "1");
  QFile::remove(dir + "/MovieList.ini");  // no resume: from the start every round
  const double before = ChildrenCpuSeconds();
  QProcess cinvo;
  cinvo.setProcessEnvironment(env);
  cinvo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  cinvo.start(program, {movie});
  QElapsedTimer shown;
  shown.start();
  while (!HasVisibleWindow(cinvo.processId()) && shown.elapsed() < 30000) QThread::msleep(50);
  shown.restart();
  while (shown.elapsed() < kSeconds * 1000 + 500) QThread::msleep(50);
  ::kill(static_cast<pid_t>(cinvo.processId()), SIGTERM);
  if (!cinvo.waitForFinished(30000) || cinvo.exitCode() != 0) std::fprintf(stderr, "cinvo did not end normally\n");
  return ChildrenCpuSeconds() - before;
}

double GstRun(const QString& movie) {
  const double before = ChildrenCpuSeconds();
  QProcess gst;
  gst.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  gst.start(QStringLiteral("gst-launch-1.0"),
            {"-q", "playbin", "uri=" + QUrl::fromLocalFile(movie).toString(), "video-sink=ximagesink",
             "audio-sink=fakesink sync=true"});
  if (!gst.waitForFinished((kSeconds + 60) * 1000) || gst.exitCode() != 0)
    std::fprintf(stderr, "gst-launch-1.0 did not play to the end\n");
  return ChildrenCpuSeconds() - before;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::printf("bench_direct_play: no X display, skipped (run under xvfb-run)\n");
    return 0;
  }
  for (const char* tool : {"ffmpeg", "xdotool", "gst-launch-1.0"}) {
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
      std::printf("bench_direct_play: %s missing, skipped\n", tool);
      return 0;
    }
  }
  QTemporaryDir dir;
  for (const bool fullHd : {false, true}) {
    const QString movie = MakeMovie(dir.path(), fullHd);
    const char* name = fullHd ? "1920x1080 H.264/MP3" : "1280x720 MPEG-4/MP3";
    if (movie.isEmpty()) {
      std::fprintf(stderr, "cannot make the %s movie\n", name);
      return 1;
    }
    std::vector<double> cinvo, gst;
    for (int round = 0; round < kRounds; ++round) {
      cinvo.push_back(CinvoRun(QStringLiteral(CINVO_PROGRAM), movie, dir.path()));
      gst.push_back(GstRun(movie));
    }
    const double c = Median(cinvo), g = Median(gst);
    std::printf("%s, %d s, median of %d rounds, whole process\n", name, kSeconds, kRounds);
    std::printf("cinvo (viewer, start to end):       %.2f CPU s  (rounds:", c);
    for (double v : cinvo) std::printf(" %.2f", v);
    std::printf(")\ngst-launch-1.0 playbin ximagesink: %.2f CPU s  (rounds:", g);
    for (double v : gst) std::printf(" %.2f", v);
    std::printf(")\nCPU ratio cinvo / ximagesink: %.2f\n\n", g > 0 ? c / g : 0.0);
    benchtable::Row(QStringLiteral("%1 in the viewer: CPU / ximagesink").arg(name),
                    QString::number(g > 0 ? c / g : 0.0, 'f', 2),
                    QStringLiteral("%1 s / %2 s").arg(c, 0, 'f', 2).arg(g, 0, 'f', 2),
                    fullHd ? QStringLiteral("<= 1.00") : QStringLiteral("-"));
  }
  return 0;
}
