// The archive reader's exception classes and fixed message texts.
#pragma once

#include "platform/Errors.h"

#include <QLatin1StringView>

inline constexpr QLatin1StringView kErrReadingZip{"Error reading zip file"};
inline constexpr QLatin1StringView kErrCentralSignature{"Invalid Zip Central Header signature"};
inline constexpr QLatin1StringView kErrLocalSignature{"Invalid Zip Local Header signature"};
inline constexpr QLatin1StringView kErrZip64EndRecord{"Invalid ZIP64 end of central directory record"};
inline constexpr QLatin1StringView kErrZip64Locator{"Missing ZIP64 end of central directory locator"};
inline constexpr QLatin1StringView kErrZip64FieldShort{"ZIP64 extra field too short"};
inline constexpr QLatin1StringView kErrZip64FieldInvalid{"Invalid ZIP64 extra field"};
inline constexpr QLatin1StringView kErrZip64FieldMissing{"Missing ZIP64 extra field"};
inline constexpr QLatin1StringView kErrStreamRead{"Stream read error"};
inline constexpr QLatin1StringView kErrStreamWrite{"Stream write error"};
inline constexpr QLatin1StringView kErrInvalidPath{"Invalid characters in path"};
inline constexpr QLatin1StringView kErrFileMustBeOpen{"File must be open"};
inline constexpr QLatin1StringView kErrMustBeOpenForReading{"File must be open for reading"};
inline constexpr QLatin1StringView kErrArgumentOutOfRange{"Argument out of range"};
inline constexpr QLatin1StringView kErrEntryEncrypted{"The entry is encrypted"};
inline constexpr QLatin1StringView kErrItemNotFound{"Item not found"};
// Followed by the entry's name.
inline constexpr QLatin1StringView kErrCrcErrorIn{"CRC error in "};

// A fault of the archive itself or of how the reader is used.
class EZipException : public EError
{
public:
    using EError::EError;
};

// A stream that delivered fewer bytes than asked, or refused to take them.
class EStreamError : public EError
{
public:
    using EError::EError;
};

// zlib's own text for one of its error codes.
class EZlibError : public EError
{
public:
    using EError::EError;
};
