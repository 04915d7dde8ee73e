#pragma once
// The program's files in a private directory: a benchmark never reads or
// writes the user's settings, records, languages or session, and plays no
// sound.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

namespace benchenv {

inline QProcessEnvironment PrivateEnvironment(const QString& dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("CINVO_REGISTRY"), dir + QStringLiteral("/registry.json"));
  env.insert(QStringLiteral("CINVO_MOVIELIST"), dir + QStringLiteral("/MovieList.ini"));
  env.insert(QStringLiteral("CINVO_LANGUAGES"), dir + QStringLiteral("/Languages"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
  env.insert(QStringLiteral("CINVO_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
  return env;
}

// The same for this process (before the application object exists).
inline void UsePrivateEnvironment(const QString& dir) {
  const QProcessEnvironment env = PrivateEnvironment(dir);
  for (const QString& key : env.keys())
    if (key.startsWith(QLatin1String("CINVO_")) || key.startsWith(QLatin1String("XDG_")))
      qputenv(key.toLocal8Bit().constData(), env.value(key).toLocal8Bit());
}

}  // namespace benchenv
