// What every test folder shares: fresh folders, file bytes, QString failures, EXPECT_RAISES.
#pragma once

#include "platform/Errors.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

// The file's bytes; "<missing>" when it cannot be read, so a missing file never
// passes for an empty one.
inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Creates or replaces the file; a failure fails the test.
inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size())
        << path.toStdString();
}

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// The message of the error the action raises, or "<none>".
inline QString ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EError &e) {
        return e.Message();
    }
    return QStringLiteral("<none>");
}

// Expects the statement to raise an error with exactly this message.
#define EXPECT_RAISES(statement, message)                                                                    \
    EXPECT_EQ(ErrorOf([&] {                                                                                  \
        statement;                                                                                           \
    }),                                                                                                      \
        QString(message))

// A fresh temporary folder per test, removed with its contents afterwards.
class TTempFolderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString PathOf(const QString &name) const { return FDir.filePath(name); }

    QTemporaryDir FDir;
};

// Takes the first Limit bytes, then refuses every write, as a full disk does.
class TFailingDevice : public QIODevice
{
public:
    explicit TFailingDevice(qint64 limit)
        : Limit(limit)
    {
        open(QIODevice::WriteOnly);
    }

    const qint64 Limit;
    QByteArray Written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const qint64 room = Limit - Written.size();
        if (room <= 0)
            return -1;
        const qint64 taken = std::min(room, size);
        Written.append(data, taken);
        return taken;
    }
};
