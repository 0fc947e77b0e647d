// The window test fixture: a TfrmMain over fresh folders and stand-ins.
#pragma once

#include "app/DriveComboBox.h"
#include "app/MainForm.h"
#include "platform/ShellOpen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

// Records what would have been opened; launches nothing.
class TRecordingOpener : public IShellOpener
{
public:
    bool Open(const QString &item) override
    {
        Opened << item;
        return Result;
    }
    QStringList Opened;
    bool Result = true;
};

// A save dialog that is always cancelled, so no test ever waits on a real one.
class TCancelledSaveDialog : public ISaveDialog
{
public:
    void SetDefaultExt(const QString &) override { }
    void SetFilter(const QString &) override { }
    void SetFilterIndex(int) override { }
    bool Execute(QWidget *) override { return false; }
    QString FileName() const override { return {}; }
};

// A window over a fresh home, config and temporary folder.
class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window; call after preparing the home folder.
    TfrmMain &Window();
    void DestroyWindow();

    QString Home() const { return FHome; }
    QString MakeDir(const QString &relative) const;
    void MakeFile(const QString &relative, const QByteArray &content = {}) const;
    // Selects the tree item at the given path of names below the root.
    TFolderNode *Select(const QStringList &names);
    QStringList Column(const TGridTable &grid, int col) const;
    // Lists the folder (names below the home) with extensions shown and
    // selects the listing's row named `name` as a click would; errors go to
    // the error display.
    void PickRow(const QStringList &folder, const QString &name);

    QTemporaryDir FTemp;
    QString FHome;
    TRecordingOpener FOpener;
    QStringList FErrors;
    QStringList FAssociationErrors;
    std::unique_ptr<TfrmMain> FWindow;
};
