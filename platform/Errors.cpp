#include "platform/Errors.h"

#include "platform/PlatformErrors.h"

#include <cerrno>
#include <cstring>

EError::EError(QString message)
    : FMessage(std::move(message))
    , FUtf8(FMessage.toUtf8())
{ }

int EInOutError::CodeFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return kIoPathNotFound;
    case EMFILE:
    case ENFILE:
        return kIoTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return kIoAccessDenied;
    case ENOSPC:
        return kIoDiskFull;
    default:
        return err;
    }
}

QString EInOutError::MessageFor(int code, const QString &fileName)
{
    switch (code) {
    case kIoFileNotFound:
        return kErrFileNotFound;
    case kIoPathNotFound:
        return QString(kErrInvalidFileName).arg(fileName);
    case kIoTooManyOpenFiles:
        return kErrTooManyOpenFiles;
    case kIoAccessDenied:
        return kErrFileAccessDenied;
    default:
        return QString(kErrIoError).arg(code);
    }
}

EInOutError::EInOutError(int code, const QString &fileName)
    : EError(MessageFor(code, fileName))
    , FErrorCode(code)
{ }

EFOpenError::EFOpenError(const QString &fileName, int err)
    : EError(QString(kErrCannotOpenFile).arg(fileName, SysErrorMessage(err)))
{ }

EFCreateError::EFCreateError(const QString &fileName, int err)
    : EError(QString(kErrCannotCreateFile).arg(fileName, SysErrorMessage(err)))
{ }

QString SysErrorMessage(int err)
{
    char buffer[256];
    // GNU strerror_r returns the text, which need not be in the buffer.
    const char *text = strerror_r(err, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

QString ErrorDisplayText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}
