// The archive tests' fixture.
#pragma once

#include "support/TestSupport.h"
#include "tools/ZipBuilder.h"
#include "zip/ZipFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

// A fresh folder per test, with a helper to drop archives into it.
class ZipTestBase : public TTempFolderTest
{
protected:
    QString WriteArchive(const QByteArray &bytes, const QString &name = QStringLiteral("test.zip"))
    {
        const QString path = PathOf(name);
        EXPECT_TRUE(ZipBuilder::WriteBytes(path, bytes));
        return path;
    }
};
