// The fixed message texts and error codes of the file-level errors.
#pragma once

#include <QLatin1StringView>

// Also raised as they are by the libraries above.
inline constexpr QLatin1StringView kErrFileNotFound{"The specified file was not found"};
inline constexpr QLatin1StringView kErrInvalidFileName{"Invalid file name - %1"};
inline constexpr QLatin1StringView kErrTooManyOpenFiles{"Too many open files"};
inline constexpr QLatin1StringView kErrFileAccessDenied{"File access denied"};
inline constexpr QLatin1StringView kErrIoError{"I/O error %1"};
inline constexpr QLatin1StringView kErrCannotOpenFile{"Cannot open file \"%1\". %2"};
inline constexpr QLatin1StringView kErrCannotCreateFile{"Cannot create file \"%1\". %2"};

// The Windows-style codes of EInOutError; the first four have a text of their own.
inline constexpr int kIoFileNotFound = 2;
inline constexpr int kIoPathNotFound = 3;
inline constexpr int kIoTooManyOpenFiles = 4;
inline constexpr int kIoAccessDenied = 5;
inline constexpr int kIoDiskFull = 112;
