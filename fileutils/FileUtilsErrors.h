// The fixed message texts of the preview reader and the settings file.
#pragma once

#include <QLatin1StringView>

inline constexpr QLatin1StringView kErrPathTooLong{"The specified path is too long"};
inline constexpr QLatin1StringView kErrPathNotFound{"The specified path was not found"};
inline constexpr QLatin1StringView kErrNotRegularFile{"Cannot open file \"%1\". Not a regular file"};
inline constexpr QLatin1StringView kErrUnableToWrite{"Unable to write to %1"};
