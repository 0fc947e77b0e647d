#pragma once

#include "ZipBuilder.h"
#include "zip/ZipFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// A fresh folder per test, with helpers to drop archives into it.
class ZipTestBase : public ::testing::Test
{
protected:
    QString PathOf(const QString &name) const { return FDir.filePath(name); }

    QString WriteArchive(const QByteArray &bytes, const QString &name = QStringLiteral("test.zip"))
    {
        const QString path = PathOf(name);
        EXPECT_TRUE(ZipBuilder::WriteBytes(path, bytes));
        return path;
    }

    static QByteArray ReadAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir FDir;
};

// The message of the error that action raises, or "<none>".
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

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << s.toStdString();
}
