#include "app/GridModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

TGridModel::TGridModel(TGridTable &table, QObject *parent)
    : QAbstractTableModel(parent)
    , FTable(table)
    , FRows(table.RowCount())
{
    FTable.SetObserver(this);
}

TGridModel::~TGridModel()
{
    FTable.SetObserver(nullptr);
}

void TGridModel::Attach(QTableView *view)
{
    FView = view;
    view->setModel(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTabKeyNavigation(false);
    view->verticalHeader()->hide();
    // Fixed row heights keep a 100 000-row listing instant.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(21);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionsClickable(false);
    for (int c = 0; c < FTable.ColumnCount(); ++c)
        view->setColumnWidth(c, FTable.Columns(c).Width);
    connect(view->selectionModel(),
        &QItemSelectionModel::currentRowChanged,
        this,
        [this](const QModelIndex &cur) {
            CurrentRowChanged(cur);
        });
    DisplayChanged();
    ShowSelected();
}

int TGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FRows;
}

int TGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FTable.ColumnCount();
}

QVariant TGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()
        || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole))
        return {};
    return FTable.Cells(index.column(), index.row());
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= FTable.ColumnCount())
        return {};
    return FTable.Columns(section).Header;
}

void TGridModel::GridReset()
{
    beginResetModel();
    FRows = FTable.RowCount();
    endResetModel();
    ShowSelected();
}

void TGridModel::CellChanged(int col, int row)
{
    if (row >= FRows) {
        GridReset();
        return;
    }
    const QModelIndex i = index(row, col);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
}

void TGridModel::SelectionMoved(int)
{
    ShowSelected();
}

void TGridModel::DisplayChanged()
{
    if (!FView)
        return;
    FView->horizontalHeader()->setVisible(FTable.ShowHeader());
    FView->setShowGrid(FTable.ShowVertLines() || FTable.ShowHorzLines());
    for (int c = 0; c < FTable.ColumnCount(); ++c)
        FView->setColumnHidden(c, !FTable.Columns(c).Visible);
}

void TGridModel::CurrentRowChanged(const QModelIndex &current)
{
    if (FMovingView || !current.isValid())
        return;
    try {
        FTable.RequestSelected(current.row());
    } catch (const std::exception &e) {
        if (!OnError)
            throw;
        OnError(e);
    }
}

void TGridModel::ShowSelected()
{
    if (!FView || FRows != FTable.RowCount())
        return;
    FMovingView = true;
    const int row = FTable.Selected();
    if (row >= 0 && row < FRows) {
        int col = 0;
        while (col < FTable.ColumnCount() - 1 && !FTable.Columns(col).Visible)
            ++col;
        const QModelIndex i = index(row, col);
        FView->selectionModel()->setCurrentIndex(
            i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        FView->scrollTo(i);
    } else {
        FView->selectionModel()->clearCurrentIndex();
        FView->selectionModel()->clearSelection();
    }
    FMovingView = false;
}
