#include "assets/qs_Assets.h"

#include <QFile>

// Referenced by the tests, so that the resource object is linked in.
bool AssetsAvailable() { return QFile::exists(QString::fromLatin1(kProgramIcon)); }
