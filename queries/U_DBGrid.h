// The data grid of every window: a table view over one in-memory dataset through one model
// adapter, with the row-number column, title clicks that sort, and the view's current row
// kept in step with the dataset's.
#pragma once

#include "U_DataSet.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QTableView>

#include <functional>
#include <string>
#include <vector>

class QAbstractItemView;
class QStyledItemDelegate;

// One grid column as the window lays it out. The field name "Num" belongs to no dataset
// field: that column shows the row's number among the visible rows (first row = 1).
struct TColumn {
  QString Title; // a sort mark, when there is one, is part of the text
  std::string FieldName;
  int Width = 64;
  bool ReadOnly = true; // editor grids clear it on the columns the user types into
};

inline bool IsNumColumn(const TColumn& c) { return c.FieldName == "Num"; }

// A dataset seen as a table: one row a visible row, one column a TColumn. Cells show the
// dataset's display text; an edit goes through Edit/SetValue/Post so that the dataset's field
// rules run. The dataset must outlive the model.
class TDataSetModel : public QAbstractTableModel, public TDataSetObserver {
  Q_OBJECT
public:
  TDataSetModel(TDataSet& ds, std::vector<TColumn> columns, QObject* parent = nullptr);
  ~TDataSetModel() override;

  TDataSet& DataSet() const { return ds_; }
  const std::vector<TColumn>& Columns() const { return columns_; }
  void SetColumns(std::vector<TColumn> columns);
  void SetTitle(int column, const QString& title);

  // Keeps the view's current row and the dataset's current row in step, both ways. Call it
  // after the view got this model (the view's selection model is the one followed).
  void Follow(QAbstractItemView* view);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Errors of the dataset (a field rule refusing the value, a failed post) reach the caller
  // after an edit this call began is cancelled.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  void DataSetReset() override;
  void RowChanged(int row) override;
  void RowInserted(int row) override;
  void RowRemoved(int row) override;
  void CurrentChanged() override;

signals:
  // The dataset's current row (0-based; -1 when there is none) after any move or reset.
  void CurrentRowChanged(int row);

private:
  void ShowCurrent();
  void RenumberFrom(int row);
  int FieldOf(int column) const; // -1 for Num and for names the dataset lacks

  TDataSet& ds_;
  std::vector<TColumn> columns_;
  int rows_ = 0; // the rows the views were told about
  QPointer<QAbstractItemView> view_;
  int viewColumn_ = 0;
  bool syncing_ = false;
};

class TDBGrid : public QTableView {
  Q_OBJECT
public:
  TDBGrid(const QString& name, TDataSet& ds, std::vector<TColumn> columns, QWidget* parent = nullptr);

  TDataSet& DataSet() const { return model_->DataSet(); }
  TDataSetModel& Model() const { return *model_; }
  void SetColumns(std::vector<TColumn> columns);

  // The window's red condition for the row number (row: 0-based visible row).
  std::function<bool(const TDataSet&, int row)> RedRow;
  bool IsRed(int row) const { return RedRow && RedRow(DataSet(), row); }

signals:
  // Enter or Return in the grid outside an editor; the window decides what it means.
  void EnterPressed();

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void ApplyColumns();

  TDataSetModel* model_;
  QStyledItemDelegate* numDelegate_;
};
