#include "platform/Errors.h"

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
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return 5;
    case ENOSPC:
        return 112;
    default:
        return err;
    }
}

QString EInOutError::MessageFor(int code, const QString &fileName)
{
    switch (code) {
    case 2:
        return QStringLiteral("The specified file was not found");
    case 3:
        return QStringLiteral("Invalid file name - %1").arg(fileName);
    case 4:
        return QStringLiteral("Too many open files");
    case 5:
        return QStringLiteral("File access denied");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}

EInOutError::EInOutError(int code, const QString &fileName)
    : EError(MessageFor(code, fileName))
    , FErrorCode(code)
{ }

EFOpenError::EFOpenError(const QString &fileName, int err)
    : EError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, SysErrorMessage(err)))
{ }

EFCreateError::EFCreateError(const QString &fileName, int err)
    : EError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, SysErrorMessage(err)))
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
