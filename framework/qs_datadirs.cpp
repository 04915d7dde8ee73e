#include "framework/qs_datadirs.h"

#include <QDir>
#include <QStandardPaths>

#include <optional>

#include "framework/qs_tools.h"
#include "platform/directory.h"

namespace {

const QString kDataDirName = QStringLiteral("Cinvo");

struct TProgramPlace {
  QString Dir;  // with a trailing separator
  bool Writable = false;
};

std::optional<TProgramPlace>& ForcedPlace() {
  static std::optional<TProgramPlace> place;
  return place;
}

QString ProgramDir() { return ForcedPlace() ? ForcedPlace()->Dir : AppDir(); }

}  // namespace

bool ProgramDirHoldsData() {
  if (ForcedPlace()) return ForcedPlace()->Writable;
  // Decided once: the answer must not change in the middle of a run, or the
  // records would be read from one place and written to another.
  static const bool writable = platform::IsWritableDirectory(AppDir());
  return writable;
}

void SetProgramPlaceForTests(const QString& dir, bool writable) {
  ForcedPlace() = TProgramPlace{AddBackslash(dir), writable};
}

QString UserDataDir() {
  if (ProgramDirHoldsData()) return ProgramDir();
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  const QString dir = AddBackslash(AddBackslash(base) + kDataDirName);
  QDir().mkpath(dir);  // a failure shows when a file there is written
  return dir;
}

QString InstalledDataDir() {
  if (ProgramDirHoldsData()) return QString();
  // bin/cinvo -> share/cinvo/, as the install lays it out.
  return AddBackslash(QDir::cleanPath(ProgramDir() + QStringLiteral("../share/cinvo")));
}

QString DefaultMovieDir() {
  if (ProgramDirHoldsData()) return ProgramDir() + QStringLiteral("Movies");
  const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  return videos.isEmpty() ? QDir::homePath() : videos;
}
