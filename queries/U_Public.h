// Routines shared by the query windows: sorting by a click on a column title, paging, the
// totals line, the record counter and Enter as Tab. Loading detached datasets is the
// dataset's own (U_DataSet.h).
#pragma once

#include "U_DataSet.h"

#include <QObject>
#include <QString>

#include <string>

class QAbstractButton;
class QTableView;
class QWidget;
class TDBGrid;

// A click on a column title: the row-number column does nothing; otherwise the mark " ▽"/" △"
// leaves the title that had it and the dataset is sorted by the clicked column, descending
// unless it is sorted descending now.
void SortByTitle(int column, TDBGrid& grid, TDataSet& ds);

// One page up or down, as a click in the scroll bar's page area: the view scrolls a page and
// the current row keeps its place on the screen; where there is no page left to scroll it
// goes to the first or the last row.
void PageUp(QTableView& grid);
void PageDown(QTableView& grid);

// "合计数量:" sum "    合计金额:" sum over all visible rows (empty values count 0). The current
// row stays where it is.
QString TotalsLine(TDataSet& ds, const std::string& qtyField, const std::string& amountField);
// A number in its shortest general form with up to 15 significant digits: 12.5, 300, 0.
QString FormatTotal(double value);

// "第 3/25 条记录"; "第 0/0 条记录" with no rows.
QString RecordCounter(const TDataSet& ds);
// "<" is enabled unless at the first row, ">" unless at the last; both off with no rows.
void UpdatePageButtons(const TDataSet& ds, QAbstractButton* up, QAbstractButton* down);

// Enter or Return pressed in a control of the area (the area itself, or any widget inside it
// in the same window) moves the focus on as Tab does, once per press, and goes no further.
// Item views keep their Enter. Lives as long as the area.
class TEnterAsTab : public QObject {
  Q_OBJECT
public:
  explicit TEnterAsTab(QWidget* area);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QWidget* area_;
};
