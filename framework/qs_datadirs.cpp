#include "framework/qs_datadirs.h"

#include <QDir>
#include <QStandardPaths>

#include "framework/qs_tools.h"
#include "platform/directory.h"

namespace {

const QString kDataDirName = QStringLiteral("Cinvo");

}  // namespace

bool ProgramDirHoldsData() {
  // Decided once: the answer must not change in the middle of a run, or the
  // records would be read from one place and written to another.
  static const bool writable = platform::IsWritableDirectory(AppDir());
  return writable;
}

QString UserDataDir() {
  if (ProgramDirHoldsData()) return AppDir();
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  const QString dir = AddBackslash(AddBackslash(base) + kDataDirName);
  QDir().mkpath(dir);  // a failure shows when a file there is written
  return dir;
}

QString InstalledDataDir() {
  if (ProgramDirHoldsData()) return QString();
  // bin/cinvo -> share/cinvo/, as the install lays it out.
  return AddBackslash(QDir::cleanPath(AppDir() + QStringLiteral("../share/cinvo")));
}

QString DefaultMovieDir() {
  if (ProgramDirHoldsData()) return AppDir() + QStringLiteral("Movies");
  const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  return videos.isEmpty() ? QDir::homePath() : videos;
}
