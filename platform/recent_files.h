#pragma once
// The desktop's list of recently used files (recently-used.xbel in the
// user's data directory), which file managers and open dialogs show under
// "Recent". Shared with every other program of the session.
#include <QString>

namespace platform {

// Adds `fileName` as used now by this program (or counts one more use),
// keeping every other entry of the list. False when the list cannot be
// read or written; the list is then left as it was.
bool AddRecentFile(const QString& fileName);

// The list's file.
QString RecentFilesPath();

}  // namespace platform
