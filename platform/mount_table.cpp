#include "platform/mount_table.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

// mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
QString DecodeField(const QByteArray& field) {
  QByteArray out;
  out.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const QByteArray oct = field.mid(i + 1, 3);
      bool ok = false;
      const int value = oct.toInt(&ok, 8);
      if (ok && oct.size() == 3) {
        out.append(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.append(field[i]);
  }
  return QFile::decodeName(out);
}

QString Canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? path : c;
}

}  // namespace

QList<MountEntry> ParseMountInfo(const QByteArray& text) {
  QList<MountEntry> table;
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> f = line.split(' ');
    // id parent dev root mountpoint options [optional...] - fstype source superoptions
    const qsizetype dash = f.indexOf(QByteArray("-"));
    if (f.size() < 6 || dash < 6 || dash + 2 >= f.size()) continue;
    MountEntry e;
    bool idOk = false;
    e.MountId = f[0].toInt(&idOk);
    if (!idOk) e.MountId = -1;
    e.MountDir = DecodeField(f[4]);
    e.FsType = DecodeField(f[dash + 1]);
    e.Device = DecodeField(f[dash + 2]);
    e.Options = QString::fromLatin1(f[5]);
    if (dash + 3 < f.size()) e.Options += QLatin1Char(' ') + QString::fromLatin1(f[dash + 3]);
    table.append(e);
  }
  return table;
}

QString MountTablePath() { return QStringLiteral("/proc/self/mountinfo"); }

QList<MountEntry> ReadMountTable() {
  QFile file(MountTablePath());
  if (!file.open(QIODevice::ReadOnly)) return {};
  // A proc file reports size 0: read until the end.
  return ParseMountInfo(file.readAll());
}

QString MountDirOf(const QString& device, const QList<MountEntry>& table) {
  if (device.isEmpty()) return {};
  const QString wanted = Canonical(device);
  for (const MountEntry& e : table) {
    if (e.Device == device || (e.Device.startsWith(QLatin1Char('/')) && Canonical(e.Device) == wanted))
      return e.MountDir;
  }
  return {};
}

bool IsBlockDevice(const QString& path) {
  struct stat st;
  return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

}  // namespace platform
