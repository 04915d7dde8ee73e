#include "platform/registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStandardPaths>

#include <cerrno>

#include <functional>
#include <limits>
#include <map>
#include <optional>

#include "platform/atomic_write.h"
#include "platform/file_lock.h"

namespace platform {

namespace {

QStringList SplitKeyPath(const QString& path) {
  QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  for (QString& p : parts) p = p.trimmed();
  parts.removeAll(QString());
  return parts;
}

// The stored name equal to `name` without regard to case. The empty name is
// a name like any other, so "not found" is no name at all.
std::optional<QString> FindMember(const QJsonObject& obj, const QString& name) {
  if (obj.contains(name)) return name;
  for (auto it = obj.begin(); it != obj.end(); ++it)
    if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.key();
  return std::nullopt;
}

QJsonValue MemberValue(const QJsonObject& obj, const QString& name) {
  const std::optional<QString> member = FindMember(obj, name);
  return member ? obj.value(*member) : QJsonValue(QJsonValue::Undefined);
}

enum class Parsed { Missing, Ok, Broken };

// `stamp`: the version read (nothing when there is no file).
Parsed ReadHive(const QString& path, QJsonObject& root, TFileStamp* stamp = nullptr) {
  QFile file(path);
  if (!file.exists()) return Parsed::Missing;
  if (!file.open(QIODevice::ReadOnly)) return Parsed::Broken;
  if (stamp) *stamp = StampOfOpenFile(file.handle());
  const QByteArray data = file.readAll();
  if (data.trimmed().isEmpty()) return Parsed::Missing;
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return Parsed::Broken;
  root = doc.object();
  return Parsed::Ok;
}

// The hives read by the batch open on this thread, by path.
thread_local TRegistryReadBatch* gBatch = nullptr;
thread_local std::map<QString, QJsonObject>* gBatchHives = nullptr;

// The hive to read values from: the batch's reading when there is one.
QJsonObject HiveForReading(const QString& path) {
  if (gBatchHives) {
    const auto found = gBatchHives->find(path);
    if (found != gBatchHives->end()) return found->second;
  }
  QJsonObject root;
  ReadHive(path, root);  // a broken hive reads as empty
  if (gBatchHives) gBatchHives->emplace(path, root);
  return root;
}

// A write: the batch reads the hive again.
void HiveWritten(const QString& path) {
  if (gBatchHives) gBatchHives->erase(path);
}

std::optional<QJsonObject> FindKey(const QJsonObject& root, const QStringList& path) {
  QJsonObject current = root;
  for (const QString& part : path) {
    const QJsonValue child = MemberValue(current, part);
    if (!child.isObject()) return std::nullopt;
    current = child.toObject();
  }
  return current;
}

// Rebuilds `obj` with the key at path[i..] created and changed by `change`.
// False when a value of that name stands where a key must be.
bool UpdateKey(QJsonObject& obj, const QStringList& path, qsizetype i,
               const std::function<void(QJsonObject&)>& change) {
  if (i == path.size()) {
    change(obj);
    return true;
  }
  const QString member = FindMember(obj, path[i]).value_or(path[i]);
  const QJsonValue existing = obj.value(member);
  if (!existing.isUndefined() && !existing.isObject()) return false;
  QJsonObject child = existing.toObject();
  if (!UpdateKey(child, path, i + 1, change)) return false;
  obj.insert(member, child);
  return true;
}

// Keeps an unparseable hive under another name rather than overwriting it.
void MoveAside(const QString& path) {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString target = path + QStringLiteral(".broken-") + stamp;
  for (int n = 1; QFile::exists(target); ++n)
    target = path + QStringLiteral(".broken-") + stamp + QLatin1Char('-') + QString::number(n);
  if (!QFile::rename(path, target))
    throw RegistryError(QStringLiteral("The settings file %1 cannot be read and cannot be set aside.").arg(path));
}

[[noreturn]] void ThrowWriteFailure(const QString& path, TWriteFailure failure, const QString& reason) {
  if (failure == TWriteFailure::DiskFull)
    throw RegistryError(QStringLiteral("There is not enough space on the disk to save the settings in %1. "
                                       "The previous settings were kept.")
                            .arg(path),
                        RegistryError::Kind::DiskFull);
  throw RegistryError(
      QStringLiteral("The settings could not be saved to %1: %2. The previous file was kept.").arg(path, reason),
      failure == TWriteFailure::Denied ? RegistryError::Kind::Denied : RegistryError::Kind::Refused);
}

// Rewrites made again because the file changed just before a rename; the
// last one replaces it whatever happens meanwhile.
constexpr int kMergeAttempts = 20;

// Read-modify-write of the whole hive under the lock.
bool ModifyHive(const QString& hivePath, const QStringList& keyPath,
                const std::function<void(QJsonObject&)>& change) {
  HiveWritten(hivePath);
  // A hive that is a symbolic link is written through to its target.
  const QString path = WriteTarget(hivePath);
  QDir().mkpath(QFileInfo(path).absolutePath());
  TFileLock lock(path + QStringLiteral(".lock"));
  switch (lock.Lock(5000)) {
    case TFileLock::Result::Locked:
    case TFileLock::Result::Unsupported:  // a file system without locks: write unlocked
      break;
    case TFileLock::Result::TimedOut:
      throw RegistryError(QStringLiteral("The settings file %1 is locked by another program.").arg(path),
                          RegistryError::Kind::Locked);
    case TFileLock::Result::Failed:
      ThrowWriteFailure(path, lock.ErrorCode() == ENOSPC || lock.ErrorCode() == EDQUOT ? TWriteFailure::DiskFull
                                                                                       : TWriteFailure::Other,
                        lock.Error());
  }

  RemoveLeftoverCopies(path, lock.Held());
  for (int attempt = 1;; ++attempt) {
    // Read again each time: a hand edit made meanwhile is kept.
    QJsonObject root;
    TFileStamp read;
    if (ReadHive(path, root, &read) == Parsed::Broken) {
      MoveAside(path);
      root = QJsonObject();
      read = TFileStamp();
    }
    if (!UpdateKey(root, keyPath, 0, change)) return false;
    TStillCurrent stillCurrent;
    if (attempt < kMergeAttempts) stillCurrent = [&] { return StampOf(path) == read; };
    const TWriteResult written =
        ReplaceFileContents(path, QJsonDocument(root).toJson(QJsonDocument::Indented), stillCurrent);
    if (written.Failure == TWriteFailure::Changed) continue;
    if (!written.Ok()) ThrowWriteFailure(path, written.Failure, written.Error);
    return true;
  }
}

}  // namespace

QString DefaultHivePath() {
  const QString overridePath = qEnvironmentVariable("CINVO_REGISTRY");
  if (!overridePath.isEmpty()) return overridePath;
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Vessa/registry.json");
}

TRegistryReadBatch::TRegistryReadBatch() : fOuter(gBatch) {
  gBatch = this;
  if (!fOuter) gBatchHives = new std::map<QString, QJsonObject>;
}

TRegistryReadBatch::~TRegistryReadBatch() {
  gBatch = fOuter;
  if (!fOuter) {
    delete gBatchHives;
    gBatchHives = nullptr;
  }
}

TRegistry::TRegistry(QString hivePath) : fHivePath(std::move(hivePath)) {}

bool TRegistry::OpenKey(const QString& path, bool canCreate) {
  CloseKey();
  const QStringList keyPath = SplitKeyPath(path);
  const QJsonObject root = HiveForReading(fHivePath);
  std::optional<QJsonObject> key = FindKey(root, keyPath);
  if (!key && canCreate) {
    try {
      if (!ModifyHive(fHivePath, keyPath, [](QJsonObject&) {})) return false;
    } catch (const RegistryError& e) {
      if (e.kind() == RegistryError::Kind::DiskFull || e.kind() == RegistryError::Kind::Denied) throw;
      return false;  // creation refused: the caller writes nothing
    }
    key = QJsonObject();
  }
  if (!key) return false;
  fOpen = true;
  fKeyPath = keyPath;
  fKey = *key;
  return true;
}

void TRegistry::CloseKey() {
  fOpen = false;
  fKeyPath.clear();
  fKey = QJsonObject();
}

bool TRegistry::ValueExists(const QString& name) const {
  if (!fOpen) return false;
  const QJsonValue v = MemberValue(fKey, name);
  return !v.isUndefined() && !v.isObject();
}

QString TRegistry::ReadString(const QString& name) const {
  const QJsonValue v = fOpen ? MemberValue(fKey, name) : QJsonValue();
  if (!v.isString()) throw RegistryError(QStringLiteral("Invalid data type for '%1'").arg(name));
  return v.toString();
}

qint32 TRegistry::ReadInteger(const QString& name) const {
  const QJsonValue v = fOpen ? MemberValue(fKey, name) : QJsonValue();
  const double d = v.toDouble();
  // Range first: converting a value beyond 64 bits to an integer is undefined.
  if (!v.isDouble() || !(d >= std::numeric_limits<qint32>::min() && d <= std::numeric_limits<qint32>::max()) ||
      d != static_cast<double>(static_cast<qint64>(d)))
    throw RegistryError(QStringLiteral("Invalid data type for '%1'").arg(name));
  return static_cast<qint32>(d);
}

void TRegistry::WriteString(const QString& name, const QString& value) { WriteValue(name, value); }

void TRegistry::WriteInteger(const QString& name, qint32 value) { WriteValue(name, value); }

void TRegistry::WriteValue(const QString& name, const QJsonValue& value) {
  if (!fOpen) throw RegistryError(QStringLiteral("Failed to set data for '%1': no key is open").arg(name));
  bool clash = false;
  const bool done = ModifyHive(fHivePath, fKeyPath, [&](QJsonObject& key) {
    const QString member = FindMember(key, name).value_or(name);
    if (key.value(member).isObject()) {
      clash = true;  // a sub-key of that name: never replace a whole key by a value
      return;
    }
    key.insert(member, value);
  });
  if (!done || clash) throw RegistryError(QStringLiteral("Failed to set data for '%1'").arg(name));
  fKey.insert(FindMember(fKey, name).value_or(name), value);
}

}  // namespace platform
