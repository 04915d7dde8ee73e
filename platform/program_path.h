#pragma once
// Where the running program file lives.
#include <QString>

namespace platform {

// Absolute path of the running executable (symbolic links resolved).
QString ProgramFilePath();

// Platform path separator as text ("/" here).
inline constexpr char PathSeparator = '/';

}  // namespace platform
