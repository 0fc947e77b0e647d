// The stand-in desktop portal on the test's session bus.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The stand-in portal of support/fake-portal, on the session bus while the object lives.
class TFakePortal
{
public:
    explicit TFakePortal(const QString &mode)
    {
        FProcess.start(QStringLiteral(CARTOLA_FAKE_PORTAL), {mode, FLog.path()});
        FReady = FProcess.waitForReadyRead(20000) && FProcess.readAll().startsWith("ready");
    }
    ~TFakePortal()
    {
        FProcess.terminate();
        FProcess.waitForFinished();
    }
    bool Ready() const { return FReady; }
    // One line per OpenFile call: the parent window (quoted), the number of options, "ro" or "rw".
    QStringList Calls() const
    {
        return QString::fromUtf8(Read(QStringLiteral("calls"))).split(u'\n', Qt::SkipEmptyParts);
    }
    // The bytes read from the descriptor of call `n` (from 1).
    QByteArray Received(int n) const { return Read(QStringLiteral("received-%1").arg(n)); }
    // The caller's match rules for Response signals at call `n`; empty when the bus keeps no statistics.
    QStringList Rules(int n) const
    {
        return QString::fromUtf8(Read(QStringLiteral("rules-%1").arg(n))).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QByteArray Read(const QString &name) const
    {
        QFile f(FLog.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir FLog;
    QProcess FProcess;
    bool FReady = false;
};
