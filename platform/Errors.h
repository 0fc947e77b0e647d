// The exception classes and the error display's text rule.
#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Every failure of the program is one of these, carrying its fixed message text.
// Library code throws; only the window shows them.
class EError : public std::exception
{
public:
    explicit EError(QString message);
    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// An input/output error of the text file writers, with the system's error code.
class EInOutError : public EError
{
public:
    EInOutError(int code, const QString &fileName);
    int ErrorCode() const noexcept { return FErrorCode; }

    // The Windows-style code that stands for an errno value.
    static int CodeFromErrno(int err);

private:
    static QString MessageFor(int code, const QString &fileName);
    int FErrorCode;
};

// "Cannot open file" / "Cannot create file" of the file streams.
class EFOpenError : public EError
{
public:
    EFOpenError(const QString &fileName, int err);
};

class EFCreateError : public EError
{
public:
    EFCreateError(const QString &fileName, int err);
};

// The system's own text for an errno value.
QString SysErrorMessage(int err);

// The standard error display's text: a "." is appended when the message's last
// character sorts after ".".
QString ErrorDisplayText(const QString &message);
