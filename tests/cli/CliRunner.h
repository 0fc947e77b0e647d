// Runs the built cartola-list for the tests.
#pragma once

#include "support/TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

struct TCliRun
{
    int Status = -1; // -1 when the program crashed or hung
    QByteArray Out;
    QByteArray Err;
};

// Runs cartola-list in the locale the tests pin, so its texts and order match
// those the test process computes.
inline TCliRun RunCli(const QStringList &arguments, const QString &workingDirectory = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    env.remove(QStringLiteral("LANGUAGE"));
    p.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(QStringLiteral(CARTOLA_LIST_EXE), arguments);
    TCliRun run;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.Out = p.readAllStandardOutput();
    run.Err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit)
        run.Status = p.exitCode();
    return run;
}

// A temporary folder listed in UTC, so the time texts never move; TZ comes back after.
class TUtcFolderTest : public TTempFolderTest
{
protected:
    void SetUp() override
    {
        TTempFolderTest::SetUp();
        FOldTZ = qgetenv("TZ");
        qputenv("TZ", "UTC");
        Root = FDir.path();
    }
    void TearDown() override
    {
        if (FOldTZ.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", FOldTZ);
    }

    QString Root;

private:
    QByteArray FOldTZ;
};
