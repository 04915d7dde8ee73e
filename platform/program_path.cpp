#include "platform/program_path.h"

#include <unistd.h>

#include <climits>
#include <QCoreApplication>

namespace platform {

QString ProgramFilePath() {
  // /proc/self/exe works before any QCoreApplication exists (start-up reads
  // the program directory very early).
  char buffer[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n > 0) {
    buffer[n] = '\0';
    return QString::fromLocal8Bit(buffer, n);
  }
  if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
  return {};
}

}  // namespace platform
