// Time of a file manager's thumbnail run: `cinvo --thumbnail` on a 60 s
// 1920x1080 H.264 movie (a key frame every 10 s, so the frame at one twelfth
// is decoded from the key frame before it), at the cache's large size.
// Prints the wall-clock seconds of each run and their median; the goal is
// under 2 s. No display is needed.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 5;
constexpr double kGoalSeconds = 2.0;

QString MakeMovie(const QString& dir) {
  const QString path = QDir(dir).filePath(QStringLiteral("full-hd.avi"));
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=25:duration=60", "-c:v", "libx264",
           "-preset", "veryfast", "-g", "250", "-pix_fmt", "yuv420p", path});
  return p.waitForFinished(600000) && p.exitCode() == 0 ? path : QString();
}

}  // namespace

int main() {
  QTemporaryDir dir;
  const QString movie = MakeMovie(dir.path());
  if (movie.isEmpty()) {
    std::fprintf(stderr, "cannot make the movie (ffmpeg with libx264 needed)\n");
    return 1;
  }
  std::vector<double> seconds;
  for (int round = 0; round < kRounds; ++round) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    QProcess cinvo;
    cinvo.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    cinvo.start(QStringLiteral(CINVO_PROGRAM),
                {QStringLiteral("--thumbnail"), movie, dir.filePath(QStringLiteral("thumb.png")), QStringLiteral("256")});
    if (!cinvo.waitForFinished(60000) || cinvo.exitCode() != 0) {
      std::fprintf(stderr, "the thumbnail run failed: %s\n", cinvo.readAllStandardError().constData());
      return 1;
    }
    seconds.push_back(clock.elapsed() / 1000.0);
    std::printf("run %d: %.2f s\n", round + 1, seconds.back());
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf("median %.2f s (goal: under %.1f s) %s\n", median, kGoalSeconds, median < kGoalSeconds ? "ok" : "SLOW");
  return 0;
}
