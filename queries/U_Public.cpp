#include "U_Public.h"

#include "U_DBGrid.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>

namespace {

const QString kDownMark = QStringLiteral(" ▽");
const QString kUpMark = QStringLiteral(" △");

} // namespace

// ---------------------------------------------------------------------------------------------
// Sorting and paging

void SortByTitle(int column, TDBGrid& grid, TDataSet& ds) {
  TDataSetModel& model = grid.Model();
  const std::vector<TColumn>& columns = model.Columns();
  if (column < 0 || column >= static_cast<int>(columns.size()) || IsNumColumn(columns[column])) return;

  bool ascending = ds.Sort().find("DESC") != std::string::npos;
  ds.SetSort(columns[column].FieldName + (ascending ? " ASC" : " DESC"));

  // Titles hold no blank but the one of the mark.
  for (int i = 0; i < static_cast<int>(columns.size()); ++i)
    if (columns[i].Title.contains(u' ')) {
      model.SetTitle(i, columns[i].Title.chopped(std::min<qsizetype>(2, columns[i].Title.size())));
      break;
    }
  model.SetTitle(column, columns[column].Title + (ascending ? kUpMark : kDownMark));
}

namespace {

void Page(QTableView& grid, QAbstractSlider::SliderAction action, bool down) {
  QAbstractItemModel* model = grid.model();
  QScrollBar* bar = grid.verticalScrollBar();
  QModelIndex current = grid.currentIndex();
  int y = current.isValid() ? grid.visualRect(current).center().y() : 0;
  int before = bar->value();
  bar->triggerAction(action);
  if (!model || model->rowCount() == 0) return;

  int row;
  if (bar->value() == before) row = down ? model->rowCount() - 1 : 0;
  else {
    row = grid.rowAt(y);
    if (row < 0) row = grid.rowAt(0);
  }
  if (row >= 0) grid.setCurrentIndex(model->index(row, current.isValid() ? current.column() : 0));
}

} // namespace

void PageUp(QTableView& grid) { Page(grid, QAbstractSlider::SliderPageStepSub, false); }
void PageDown(QTableView& grid) { Page(grid, QAbstractSlider::SliderPageStepAdd, true); }

// ---------------------------------------------------------------------------------------------
// Totals, counter and page buttons

QString FormatTotal(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", value == 0 ? 0.0 : value); // no "-0"
  return QString::fromLatin1(buf);
}

QString TotalsLine(TDataSet& ds, const std::string& qtyField, const std::string& amountField) {
  // Reading the rows by position leaves the current row and the grids alone.
  int q = ds.FieldNo(qtyField), a = ds.FieldNo(amountField);
  double qty = 0, amount = 0;
  for (int row = 0; row < ds.RecordCount(); ++row) {
    qty += AsReal(ds.ValueAt(row, q));
    amount += AsReal(ds.ValueAt(row, a));
  }
  return "合计数量:" + FormatTotal(qty) + "    合计金额:" + FormatTotal(amount);
}

QString RecordCounter(const TDataSet& ds) {
  return QStringLiteral("第 %1/%2 条记录").arg(ds.RecNo()).arg(ds.RecordCount());
}

void UpdatePageButtons(const TDataSet& ds, QAbstractButton* up, QAbstractButton* down) {
  bool any = !ds.IsEmpty();
  if (up) up->setEnabled(any && ds.RecNo() > 1);
  if (down) down->setEnabled(any && ds.RecNo() < ds.RecordCount());
}

// ---------------------------------------------------------------------------------------------
// Enter as Tab

// The filter sits on the application so that it sees a key before the control that has the
// focus, wherever that control is inside the area.
TEnterAsTab::TEnterAsTab(QWidget* area) : QObject(area), area_(area) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool TEnterAsTab::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  // Only the control the key was pressed in: a key an item view ignores goes on to its parents.
  if (!w || w != w->window()->focusWidget()) return false;
  if (w != area_ && !area_->isAncestorOf(w)) return false;
  for (QWidget* p = w; p && p != area_->parentWidget(); p = p->parentWidget())
    if (qobject_cast<QAbstractItemView*>(p)) return false;
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &tab);
  return true;
}
