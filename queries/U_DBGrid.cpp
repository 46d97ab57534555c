#include "U_DBGrid.h"

#include "U_Public.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

// ---------------------------------------------------------------------------------------------
// TDataSetModel

TDataSetModel::TDataSetModel(TDataSet& ds, std::vector<TColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds), columns_(std::move(columns)), rows_(ds.RecordCount()) {
  ds_.AddObserver(this);
}

TDataSetModel::~TDataSetModel() { ds_.RemoveObserver(this); }

void TDataSetModel::SetColumns(std::vector<TColumn> columns) {
  beginResetModel();
  columns_ = std::move(columns);
  rows_ = ds_.RecordCount();
  endResetModel();
  ShowCurrent();
}

void TDataSetModel::SetTitle(int column, const QString& title) {
  if (column < 0 || column >= columnCount()) return;
  columns_[column].Title = title;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

int TDataSetModel::FieldOf(int column) const {
  const TColumn& c = columns_[column];
  return IsNumColumn(c) ? -1 : ds_.FieldIndex(c.FieldName);
}

int TDataSetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TDataSetModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const {
  // A view may paint while the dataset is being reloaded with its controls disabled: answer
  // only for rows the dataset has now.
  if (!index.isValid() || !ds_.Active() || index.row() >= ds_.RecordCount()) return {};
  int row = index.row();
  bool num = IsNumColumn(columns_[index.column()]);
  int field = FieldOf(index.column());
  switch (role) {
  case Qt::DisplayRole:
  case Qt::EditRole:
    if (num) return QString::number(row + 1);
    if (field < 0) return {};
    return QString::fromStdString(ds_.DisplayText(row, field));
  case Qt::TextAlignmentRole:
    if (field >= 0) {
      TFieldType t = ds_.Fields()[field].Type;
      if (t == TFieldType::Integer || t == TFieldType::Real)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
  default: return {};
  }
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (section < 0 || section >= columnCount()) return {};
  return columns_[section].Title;
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const TColumn& c = columns_[index.column()];
  if (!c.ReadOnly && !IsNumColumn(c)) f |= Qt::ItemIsEditable;
  return f;
}

bool TDataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
  if (!ds_.Active() || index.row() >= ds_.RecordCount() || FieldOf(index.column()) < 0) return false;
  QString text = value.toString();
  // An editor closed without a change must not fire the field rules.
  if (text == data(index, Qt::EditRole).toString()) return true;
  if (ds_.RecNo() != index.row() + 1) ds_.SetRecNo(index.row() + 1);
  bool began = ds_.State() == TDataSetState::Browse;
  if (began) ds_.Edit();
  try {
    ds_.SetValue(columns_[index.column()].FieldName, TValue(text.toStdString()));
    ds_.Post();
  } catch (...) {
    if (began && ds_.State() != TDataSetState::Browse) ds_.Cancel();
    throw;
  }
  return true;
}

void TDataSetModel::DataSetReset() {
  beginResetModel();
  rows_ = ds_.RecordCount();
  endResetModel();
  ShowCurrent();
}

void TDataSetModel::RowChanged(int row) {
  if (row < 0 || row >= rows_ || columns_.empty()) return;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TDataSetModel::RowInserted(int row) {
  if (row < 0 || row > rows_ || rows_ + 1 != ds_.RecordCount()) return DataSetReset();
  beginInsertRows({}, row, row);
  ++rows_;
  endInsertRows();
  RenumberFrom(row + 1);
}

void TDataSetModel::RowRemoved(int row) {
  if (row < 0 || row >= rows_ || rows_ - 1 != ds_.RecordCount()) return DataSetReset();
  beginRemoveRows({}, row, row);
  --rows_;
  endRemoveRows();
  RenumberFrom(row);
}

// The row numbers below an inserted or removed row change with it.
void TDataSetModel::RenumberFrom(int row) {
  if (row >= rows_) return;
  for (int c = 0; c < columnCount(); ++c)
    if (IsNumColumn(columns_[c])) emit dataChanged(index(row, c), index(rows_ - 1, c));
}

void TDataSetModel::CurrentChanged() { ShowCurrent(); }

void TDataSetModel::Follow(QAbstractItemView* view) {
  view_ = view;
  connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (!current.isValid()) return;
            viewColumn_ = current.column();
            if (syncing_ || current.row() + 1 == ds_.RecNo()) return;
            ds_.SetRecNo(current.row() + 1);
          });
  ShowCurrent();
}

void TDataSetModel::ShowCurrent() {
  int row = ds_.RecNo() - 1;
  if (row >= rows_) row = rows_ - 1;
  if (view_) {
    syncing_ = true;
    QModelIndex target = row >= 0 ? index(row, std::min(viewColumn_, columnCount() - 1)) : QModelIndex();
    if (view_->currentIndex() != target) view_->setCurrentIndex(target);
    syncing_ = false;
  }
  emit CurrentRowChanged(row);
}

// ---------------------------------------------------------------------------------------------
// TDBGrid

namespace {

// Draws the row number 10 pixels from the cell's left edge and 3 below its top, red when the
// window's red condition holds for the row.
class TNumDelegate : public QStyledItemDelegate {
public:
  explicit TNumDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    QString text = opt.text;
    opt.text.clear();
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    bool selected = opt.state & QStyle::State_Selected;
    QColor colour = grid_->IsRed(index.row())
                        ? QColor(255, 0, 0)
                        : opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    painter->save();
    painter->setPen(colour);
    painter->setFont(opt.font);
    painter->drawText(opt.rect.adjusted(10, 3, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    painter->restore();
  }

private:
  TDBGrid* grid_;
};

} // namespace

TDBGrid::TDBGrid(const QString& name, TDataSet& ds, std::vector<TColumn> columns, QWidget* parent)
    : QTableView(parent), model_(new TDataSetModel(ds, std::move(columns), this)),
      numDelegate_(new TNumDelegate(this)) {
  setObjectName(name);
  setModel(model_);
  model_->Follow(this);
  setSelectionMode(QAbstractItemView::SingleSelection);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  horizontalHeader()->setSectionsClickable(true);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { SortByTitle(column, *this, DataSet()); });
  ApplyColumns();
}

void TDBGrid::SetColumns(std::vector<TColumn> columns) {
  model_->SetColumns(std::move(columns));
  ApplyColumns();
}

void TDBGrid::ApplyColumns() {
  const auto& columns = model_->Columns();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    setItemDelegateForColumn(i, IsNumColumn(columns[i]) ? numDelegate_ : nullptr);
    if (columns[i].Width > 0) horizontalHeader()->resizeSection(i, columns[i].Width);
  }
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState) {
    event->accept();
    emit EnterPressed();
    return;
  }
  QTableView::keyPressEvent(event);
}
