#pragma once
// The current user's registry on a platform without one: a typed hive kept
// as one JSON document. Keys are JSON objects, string values JSON strings,
// 32-bit number values JSON integers; names compare without regard to case.
// Every write re-reads the file under a lock and replaces it atomically, so
// two processes never lose each other's values and a crash or a full disk
// never leaves half a file.
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace platform {

// A read of a missing or mistyped value, or a write the hive refused.
class RegistryError : public std::runtime_error {
 public:
  // Denied: the file is one the user cannot write.
  enum class Kind { Refused, DiskFull, Locked, Denied };
  explicit RegistryError(const QString& message, Kind kind = Kind::Refused)
      : std::runtime_error(message.toStdString()), fKind(kind) {}
  Kind kind() const { return fKind; }

 private:
  Kind fKind;
};

// $CINVO_REGISTRY, else $XDG_CONFIG_HOME/Vessa/registry.json.
QString DefaultHivePath();

// While one lives, the keys opened on its thread read each hive once: a
// burst of reads (the settings of a start) sees one version of the file
// instead of reading it again for every value. A write on the thread makes
// the next key opened read the file again.
class TRegistryReadBatch {
 public:
  TRegistryReadBatch();
  ~TRegistryReadBatch();
  TRegistryReadBatch(const TRegistryReadBatch&) = delete;
  TRegistryReadBatch& operator=(const TRegistryReadBatch&) = delete;

 private:
  TRegistryReadBatch* fOuter;
};

// Registry accessor with the operations the settings store needs. Key paths
// separate their components with "\" (a leading "\" is allowed).
class TRegistry {
 public:
  explicit TRegistry(QString hivePath = DefaultHivePath());

  const QString& HivePath() const { return fHivePath; }

  // Opens the key at `path` below the root; creates it (and missing parents)
  // only when `canCreate`. False when it does not exist or cannot be made;
  // a disk too full to create it or a file the user cannot write raises
  // RegistryError (Kind::DiskFull, Kind::Denied), as the user must hear of
  // that.
  bool OpenKey(const QString& path, bool canCreate);
  void CloseKey();
  bool KeyOpen() const { return fOpen; }

  bool ValueExists(const QString& name) const;
  // Throw RegistryError when the value is missing or of another type.
  QString ReadString(const QString& name) const;
  qint32 ReadInteger(const QString& name) const;
  // Throw RegistryError when the hive cannot be written.
  void WriteString(const QString& name, const QString& value);
  void WriteInteger(const QString& name, qint32 value);

 private:
  void WriteValue(const QString& name, const QJsonValue& value);

  QString fHivePath;
  bool fOpen = false;
  QStringList fKeyPath;  // components of the open key
  QJsonObject fKey;      // the open key as read when it was opened
};

}  // namespace platform
