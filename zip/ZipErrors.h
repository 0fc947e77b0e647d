// The archive reader's exception classes.
#pragma once

#include "platform/Errors.h"

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
