#pragma once
// Opening a document or a web address with the program the desktop
// associates with it.
#include <QString>

namespace platform {

// Outcome codes, as the framework's error table knows them; anything above
// kOpenSucceeded-1 is success.
inline constexpr int kOpenFileNotFound = 2;
inline constexpr int kOpenPathNotFound = 3;
inline constexpr int kOpenAccessDenied = 5;
inline constexpr int kOpenAssociationIncomplete = 27;
inline constexpr int kOpenNoAssociation = 31;
inline constexpr int kOpenSucceeded = 42;

// Turns a request of the form "file:" + target into what the opener is
// given: a web address stays as it is, a path becomes a file URL. Empty when
// the request names nothing.
QString OpenerArgument(const QString& request);

// Opens `request` ("file:" + a path or a web address) with the desktop's
// opener ($CINVO_OPENER, else xdg-open) and returns an outcome code. Waits
// at most a few seconds for the opener to report, keeping the window alive;
// an opener still running then is taken as having started the program.
int DesktopOpen(const QString& request);

}  // namespace platform
