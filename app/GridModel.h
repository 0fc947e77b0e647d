// The item model that shows a Grid table in a table view.
#pragma once

#include "listing/GridTable.h"

#include <QAbstractTableModel>

#include <exception>
#include <functional>

class QTableView;

// Shows a grid table in a QTableView. The table is the truth: the view's
// clicks and keys become selection requests, and the table's moves move the view.
class TGridModel : public QAbstractTableModel, public IGridObserver
{
    Q_OBJECT

public:
    TGridModel(TGridTable &table, QObject *parent = nullptr);
    ~TGridModel() override;

    // Binds the view: columns, widths, row height, whole-row read-only selection.
    void Attach(QTableView *view);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Errors of the handlers a click or key runs end there; the window shows them.
    std::function<void(const std::exception &)> OnError;

    void GridReset() override;
    void CellChanged(int col, int row) override;
    void SelectionMoved(int row) override;
    void DisplayChanged() override;

private:
    void CurrentRowChanged(const QModelIndex &current);
    void ShowSelected();

    TGridTable &FTable;
    QTableView *FView = nullptr;
    int FRows = 0;
    bool FMovingView = false;
};
