// Movie records at library scale: 10,000 sections loaded, 10,000 records
// read over real files, one view recorded (a whole-file flush).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/pk_param.h"

namespace {

constexpr int kMovies = 10000;

struct Fixture {
  QTemporaryDir dir;
  QString iniPath;
  QStringList files;

  Fixture() {
    iniPath = dir.filePath("MovieList.ini");
    qputenv("CINVO_MOVIELIST", iniPath.toLocal8Bit());
    QByteArray ini;
    QDir().mkpath(dir.filePath("movies"));
    for (int i = 0; i < kMovies; ++i) {
      const QString name = QStringLiteral("Movie number %1.avi").arg(i);
      ini += "[" + name.toLatin1() + "]\nViewCount=" + QByteArray::number(i % 7) +
             "\nViewDate=45123.5123456789\nViewStrDate=17/07/2023 12:17:47\nViewPosition=" +
             QByteArray::number(i * 3) + "\n\n";
      const QString path = dir.filePath("movies/" + name);
      QFile f(path);
      if (f.open(QIODevice::WriteOnly)) f.write("x");
      files << path;
    }
    QFile f(iniPath);
    if (f.open(QIODevice::WriteOnly)) f.write(ini);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_LoadMovieList(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    TMovieListDocument doc(f.iniPath);
    benchmark::DoNotOptimize(doc.SectionExists("Movie number 1.avi"));
  }
}
BENCHMARK(BM_LoadMovieList)->Unit(benchmark::kMillisecond);

void BM_ReadRecords(benchmark::State& state) {
  Fixture& f = Shared();
  ReleaseMovieList();
  MovieList();
  for (auto _ : state) {
    qint64 total = 0;
    for (const QString& path : f.files) {
      TMovieData movie(path, true);
      movie.ReadRecord();
      total += movie.ViewCount;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kMovies);
}
BENCHMARK(BM_ReadRecords)->Unit(benchmark::kMillisecond);

void BM_RecordViewFlush(benchmark::State& state) {
  Fixture& f = Shared();
  ReleaseMovieList();
  MovieList();
  TMovieData movie(f.files[kMovies / 2], true);
  for (auto _ : state) movie.RecordView();
}
BENCHMARK(BM_RecordViewFlush)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
