#include "WindowFixture.h"
#include "listing/GridColumns.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QStyleOptionComboBox>
#include <QStyleOptionHeader>
#include <QTest>

namespace {

using MinimumSizeTest = WindowFixture;

// The widest texts the listing typically shows in its Size, Extension and
// Last modified columns.
void MakeTypicalFiles(const QString &folder)
{
    const std::pair<const char *, qint64> files[] = {{"small.jpeg", 999}, {"big.html", 1048575}};
    for (const auto &[name, size] : files) {
        QFile f(folder + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
        ASSERT_TRUE(f.setFileTime(
            QDateTime(QDate(2022, 12, 28), QTime(22, 58, 58)), QFileDevice::FileModificationTime));
    }
}

// The text of every entry fits the box's text field.
void ExpectEntriesFit(QComboBox *box, int count)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    const int room =
        box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
    for (int i = 0; i < count; ++i)
        EXPECT_GE(room, box->fontMetrics().horizontalAdvance(box->itemText(i)))
            << box->objectName().toStdString() << ": " << box->itemText(i).toStdString();
}

// Every header's text fits where the style puts it.
void ExpectHeadersFit(QTableView *view)
{
    const QHeaderView *header = view->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c))
            continue;
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = QRect(0, 0, header->sectionSize(c), header->height());
        option.section = c;
        option.text = header->model()->headerData(c, Qt::Horizontal).toString();
        const QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
        EXPECT_GE(label.width(), header->fontMetrics().horizontalAdvance(option.text))
            << view->objectName().toStdString() << ": " << option.text.toStdString();
    }
}

TEST_F(MinimumSizeTest, CaptionsAndTypicalCellsAreWholeAtTheMinimumSize)
{
    MakeTypicalFiles(MakeDir(QStringLiteral("list")));
    TfrmMain &w = Window();
    w.cbExt->setChecked(true);
    Select({QStringLiteral("list")});
    w.show();
    w.resize(630, 500);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    ASSERT_EQ(w.size(), QSize(630, 500));

    // Buttons, check boxes and labels are at least as wide as their captions need.
    for (QWidget *widget : w.findChildren<QWidget *>()) {
        if (!widget->isVisible()
            || !(qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLabel *>(widget)))
            continue;
        EXPECT_GE(widget->width(), widget->sizeHint().width()) << widget->objectName().toStdString();
    }
    for (QGroupBox *group : w.findChildren<QGroupBox *>()) {
        QFont bold = group->font();
        bold.setBold(true);
        EXPECT_GT(group->width(), QFontMetrics(bold).horizontalAdvance(group->title()) + 16)
            << group->objectName().toStdString();
    }
    ExpectEntriesFit(w.cbDrives, 1); // "Home Directory"; mount paths are as long as they are
    ExpectEntriesFit(w.cbExportType, w.cbExportType->count());
    ExpectEntriesFit(w.cbSort, w.cbSort->count());

    // The columns at their design widths hold their headers and typical cells.
    ExpectHeadersFit(w.sgFilesView);
    ExpectHeadersFit(w.stgZippedFilesView);
    ASSERT_EQ(w.sgFiles.Cells(fcSize, 1), QStringLiteral("999 bytes"));
    ASSERT_EQ(w.sgFiles.Cells(fcSize, 0), QStringLiteral("1023 KB"));
    const QAbstractItemView *cells = w.sgFilesView;
    for (const int c : {fcSize, fcExtension, fcLastModified})
        EXPECT_GE(w.sgFilesView->columnWidth(c), cells->sizeHintForColumn(c)) << "column " << c;
}

} // namespace
