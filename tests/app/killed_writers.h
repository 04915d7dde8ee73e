#pragma once
// Writers of MovieList.ini and of the settings hive killed at random
// moments, and what they leave: shared by the test and the benchmark that
// counts over hundreds of kills.
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

#include "app/pk_param.h"
#include "platform/registry.h"

namespace killtest {

enum class TStoreFile { MovieList, Hive };

constexpr int kRecords = 2000;  // MovieList.ini sections
constexpr int kValues = 360;    // settings in the hive
inline const QString kHiveKey = QStringLiteral("\\Software\\Vessa\\Store\\Initial");

inline QString MovieName(int i) { return QStringLiteral("Movie number %1.avi").arg(i); }

inline void Prepare(TStoreFile kind, const QString& path) {
  if (kind == TStoreFile::MovieList) {
    QByteArray ini;
    for (int i = 0; i < kRecords; ++i)
      ini += "[" + MovieName(i).toLatin1() + "]\r\nViewCount=" + QByteArray::number(i % 9) +
             "\r\nViewDate=45123.5123456789\r\nViewStrDate=17/07/2023 12:17:47\r\nViewPosition=" +
             QByteArray::number(i * 3) + "\r\n\r\n";
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(ini);
  } else {
    QJsonObject values;
    for (int i = 0; i < kValues; ++i) values.insert(QStringLiteral("Value%1").arg(i), i);
    const QJsonObject root{{"Software", QJsonObject{{"Vessa", QJsonObject{{"Store", QJsonObject{{"Initial", values}}}}}}}};
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(QJsonDocument(root).toJson());
  }
}

// Every record or value is there and reads as a number.
inline bool Whole(TStoreFile kind, const QString& path) {
  if (kind == TStoreFile::MovieList) {
    const QByteArray data = [&] {
      QFile file(path);
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    CSimpleIniA ini(false, false, false);
    if (data.isEmpty() || ini.LoadData(data.constData(), size_t(data.size())) < 0) return false;
    for (int i = 0; i < kRecords; ++i) {
      bool ok = false;
      QByteArray(ini.GetValue(MovieName(i).toLatin1().constData(), "ViewCount", "")).toInt(&ok);
      if (!ok) return false;
    }
    return true;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QJsonParseError error;
  const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
  if (error.error != QJsonParseError::NoError) return false;
  const QJsonObject key =
      root["Software"].toObject()["Vessa"].toObject()["Store"].toObject()["Initial"].toObject();
  if (key.size() != kValues) return false;
  return std::all_of(key.begin(), key.end(), [](const QJsonValue& v) { return v.isDouble(); });
}

// Everything beside the file that a write made, except the file itself, its
// lock file and the copies of an unreadable file kept on purpose.
inline QStringList Leftovers(const QString& path) {
  const QFileInfo info(path);
  QStringList left;
  for (const QString& name : QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System))
    if (name.startsWith(info.fileName() + ".") && name != info.fileName() + ".lock") left << name;
  return left;
}

// One ordinary write, as the next run of the program makes it.
inline bool NextWrite(TStoreFile kind, const QString& path) {
  if (kind == TStoreFile::MovieList) {
    TMovieListDocument doc(path);
    doc.WriteString(MovieName(0), "ViewPosition", "1");
    return doc.Flush();
  }
  try {
    platform::TRegistry reg(path);
    if (!reg.OpenKey(kHiveKey, true)) return false;
    reg.WriteInteger(QStringLiteral("Value0"), 1);
    return true;
  } catch (const platform::RegistryError&) {
    return false;
  }
}

struct TOutcome {
  int Kills = 0;
  int Damaged = 0;           // kills after which the file was not whole
  int KillsLeavingCopies = 0;  // kills right after which a leftover was there
  int MostLeftovers = 0;     // largest number of leftovers seen after a kill
  bool NextWriteDone = false;
  int LeftoversAtEnd = 0;    // left after the next ordinary write
  bool WholeAtEnd = false;
};

// Starts `writer` in its write-until-killed mode `kills` times and kills it
// after a random 0..maxDelayMs once it is writing.
inline TOutcome KillWriters(const QString& writer, TStoreFile kind, const QString& path, int kills, int maxDelayMs) {
  TOutcome out;
  const QString mode = kind == TStoreFile::MovieList ? QStringLiteral("ini-loop") : QStringLiteral("hive-loop");
  const int count = kind == TStoreFile::MovieList ? kRecords : kValues;
  for (int k = 0; k < kills; ++k) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(writer, {mode, path, QString::number(count)});
    if (!process.waitForReadyRead(30000)) break;
    QThread::usleep(QRandomGenerator::global()->bounded(maxDelayMs * 1000 + 1));
    process.kill();
    process.waitForFinished(30000);
    ++out.Kills;
    if (!Whole(kind, path)) ++out.Damaged;
    const int left = int(Leftovers(path).size());
    if (left > 0) ++out.KillsLeavingCopies;
    out.MostLeftovers = std::max(out.MostLeftovers, left);
  }
  out.NextWriteDone = NextWrite(kind, path);
  out.LeftoversAtEnd = int(Leftovers(path).size());
  out.WholeAtEnd = Whole(kind, path);
  return out;
}

}  // namespace killtest
