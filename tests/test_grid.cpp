// The shared grid, its model adapter and the browsing routines of the query windows.
#include "TestSupport.h"
#include "U_DBGrid.h"
#include "U_Public.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "QtTestSupport.h"

namespace {

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

const TValue kNull{};

// Drafts in a fresh store, read back by "Select * From 进销草稿".
class Browse : public ::testing::Test {
protected:
  void AddBill(const std::string& no, const std::string& brief, TValue qty = kNull, TValue amount = kNull,
               TValue server = kNull) {
    s.Store.Execute("Insert Into 进销草稿 (单据编号, 摘要, 合计数量, 合计金额, 服务器) Values (:N, :B, :Q, :A, :S)",
                    {{":N", no}, {":B", brief}, {":Q", qty}, {":A", amount}, {":S", server}});
  }
  void AddBills(int n) {
    TTransaction t(s.Store);
    for (int i = 1; i <= n; ++i) AddBill("SO-" + std::to_string(1000 + i), "b" + std::to_string(i));
    t.Commit();
  }
  void Open() {
    ds.SQL = "Select * From 进销草稿";
    OpenDetached(ds, s.Store);
    s.Store.Close();
  }

  TFreshStore s;
  TDataSet ds{"Q_Test"};
};

std::vector<TColumn> BillColumns() {
  return {{"行号", "Num", 48}, {"单据编号", "单据编号", 120}, {"摘要", "摘要", 160},
          {"数量", "合计数量", 72}, {"金额", "合计金额", 80}};
}

// A grid over the fixture's drafts, shown offscreen so that it has a geometry.
class Grid : public Browse {
protected:
  void Show() {
    Open();
    grid = std::make_unique<TDBGrid>("SDBG", ds, BillColumns());
    grid->resize(560, 300);
    grid->show();
    QApplication::processEvents();
  }
  QString Title(int column) const { return grid->model()->headerData(column, Qt::Horizontal).toString(); }
  QStringList Column(int column) const {
    QStringList texts;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
      texts << grid->model()->index(r, column).data().toString();
    return texts;
  }
  void ClickTitle(int column) {
    QHeaderView* header = grid->horizontalHeader();
    QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QPoint global = header->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QApplication::sendEvent(header->viewport(), &release);
  }

  std::unique_ptr<TDBGrid> grid;
};

// --- Sorting by a title click ----------------------------------------------------------------

TEST_F(Grid, ClicksOnOneTitleStartDescendingAndThenAlternate) {
  AddBill("SO-2", "b");
  AddBill("IO-1", "c");
  AddBill("SB-3", "a");
  Show();
  int widthBefore = grid->columnWidth(1);
  struct {
    const char* title;
    QStringList rows;
  } expected[] = {{"单据编号 ▽", {"SO-2", "SB-3", "IO-1"}},
                  {"单据编号 △", {"IO-1", "SB-3", "SO-2"}},
                  {"单据编号 ▽", {"SO-2", "SB-3", "IO-1"}}};
  for (const auto& e : expected) {
    ClickTitle(1);
    EXPECT_EQ(Title(1), QString::fromUtf8(e.title));
    EXPECT_EQ(Column(1), e.rows);
    EXPECT_EQ(Column(0), QStringList({"1", "2", "3"}));
  }
  EXPECT_EQ(grid->columnWidth(1), widthBefore) << "a sort must not lose the window's widths";
}

TEST_F(Grid, ClickOnAnotherTitleMovesTheMarkAndSwitchesDirection) {
  AddBill("SO-2", "b");
  AddBill("IO-1", "c");
  AddBill("SB-3", "a");
  Show();
  ClickTitle(1);
  ClickTitle(2);
  EXPECT_EQ(Title(1), "单据编号");
  EXPECT_EQ(Title(2), "摘要 △");
  EXPECT_EQ(ds.Sort(), "摘要 ASC");
  EXPECT_EQ(Column(2), QStringList({"a", "b", "c"}));

  // The row-number title changes nothing.
  ClickTitle(0);
  EXPECT_EQ(Title(0), "行号");
  EXPECT_EQ(Title(2), "摘要 △");
  EXPECT_EQ(ds.Sort(), "摘要 ASC");
}

// --- Current row, row numbers and editing -----------------------------------------------------

TEST_F(Grid, CurrentRowFollowsTheDataSetAndTheView) {
  AddBills(5);
  Show();
  ds.SetRecNo(4);
  EXPECT_EQ(grid->currentIndex().row(), 3);
  grid->setCurrentIndex(grid->model()->index(1, 2));
  EXPECT_EQ(ds.RecNo(), 2);

  // Rows inserted and removed renumber the rows below them.
  ds.SetRecNo(1);
  ds.Insert();
  EXPECT_EQ(grid->model()->rowCount(), 6);
  EXPECT_EQ(Column(0).last(), "6");
  EXPECT_EQ(grid->currentIndex().row(), 0);
  ds.Cancel();
  EXPECT_EQ(grid->model()->rowCount(), 5);
  EXPECT_EQ(Column(1).first(), "SO-1001");
}

// Pixels of the grid image that are clearly red, inside one cell.
QRect RedPixels(const QImage& image, const QRect& cell) {
  QRect found;
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.red() > 180 && c.green() < 90 && c.blue() < 90) found |= QRect(x, y, 1, 1);
    }
  return found;
}

TEST_F(Grid, RowNumberIsRedOnlyWhereTheWindowSaysSoAndSitsTopLeft) {
  AddBill("SO-1", "uploaded", kNull, kNull, std::int64_t{0});
  AddBill("SO-2", "draft");
  Show();
  grid->RedRow = [](const TDataSet& d, int row) { return AsText(d.ValueAt(row, d.FieldNo("服务器"))) == "0"; };
  grid->verticalHeader()->setDefaultSectionSize(40); // tall rows tell top from centre
  ds.SetRecNo(2); // the selection must not hide the colour of the other row
  QImage image = grid->grab().toImage();
  auto cell = [&](int row) {
    QRect r = grid->visualRect(grid->model()->index(row, 0));
    return r.translated(grid->viewport()->mapTo(grid.get(), QPoint(0, 0)));
  };

  QRect red = RedPixels(image, cell(0));
  ASSERT_FALSE(red.isEmpty());
  QFontMetrics fm(grid->font());
  QRect glyph = fm.tightBoundingRect("1");
  EXPECT_NEAR(red.left(), cell(0).left() + 10 + glyph.left(), 2);
  EXPECT_NEAR(red.top(), cell(0).top() + 3 + fm.ascent() + glyph.top(), 2);
  EXPECT_TRUE(RedPixels(image, cell(1)).isEmpty());
}

TEST_F(Grid, EditingACellRunsTheFieldRules) {
  AddBill("SO-1", "old", 1.0);
  AddBill("SO-2", "two", 2.0);
  Show();
  std::vector<std::string> changed;
  ds.OnFieldChange = [&](TDataSet& d, const std::string& field) {
    changed.push_back(field);
    if (d.AsString("摘要") == "refused") throw EDataSetError("摘要不能是 refused");
  };
  grid->SetColumns({{"行号", "Num", 48}, {"单据编号", "单据编号", 120}, {"摘要", "摘要", 160, false}});
  QAbstractItemModel* m = grid->model();

  EXPECT_FALSE(m->flags(m->index(1, 1)) & Qt::ItemIsEditable);
  EXPECT_FALSE(m->setData(m->index(1, 1), "SO-9"));
  EXPECT_TRUE(m->setData(m->index(1, 2), "new"));
  EXPECT_EQ(changed, std::vector<std::string>{"摘要"});
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_EQ(m->index(1, 2).data().toString(), "new");

  // An unchanged editor does not fire the rules; a refused value is undone and reported.
  EXPECT_TRUE(m->setData(m->index(1, 2), "new"));
  EXPECT_EQ(changed.size(), 1u);
  EXPECT_THROW(m->setData(m->index(0, 2), "refused"), EDataSetError);
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_EQ(m->index(0, 2).data().toString(), "old");
}

TEST_F(Grid, PageButtonsScrollAPageAndStopAtTheEnds) {
  AddBills(50);
  Show();
  ds.SetRecNo(1);
  QScrollBar* bar = grid->verticalScrollBar();
  PageDown(*grid);
  EXPECT_GT(bar->value(), 0);
  int page = ds.RecNo() - 1;
  EXPECT_GT(page, 3);
  EXPECT_EQ(grid->rowAt(0), page) << "the current row keeps its place on the screen";

  for (int i = 0; i < 20 && ds.RecNo() < 50; ++i) PageDown(*grid);
  EXPECT_EQ(ds.RecNo(), 50);
  for (int i = 0; i < 20 && ds.RecNo() > 1; ++i) PageUp(*grid);
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(bar->value(), 0);
}

// --- Reload, totals, counter -----------------------------------------------------------------

// Counts what a grid hears.
struct TResetCounter : TDataSetObserver {
  int Resets = 0;
  void DataSetReset() override { ++Resets; }
};

TEST_F(Browse, ReloadKeepsTheRowNumberOrTheLastRow) {
  struct {
    int at, remaining, expected;
  } cases[] = {{40, 25, 25}, {10, 25, 10}, {40, 50, 40}};
  for (const auto& c : cases) {
    s.Store.Execute("Delete From 进销草稿");
    AddBills(50);
    ds.Close();
    Open();
    ds.SetRecNo(c.at);
    s.Store.Execute("Delete From 进销草稿 Where 单据编号 > 'SO-" + std::to_string(1000 + c.remaining) + "'");
    TResetCounter heard;
    ds.AddObserver(&heard);
    ReloadKeepPosition(ds, s.Store);
    ds.RemoveObserver(&heard);
    EXPECT_EQ(ds.RecordCount(), c.remaining);
    EXPECT_EQ(ds.RecNo(), c.expected) << "from row " << c.at;
    EXPECT_EQ(heard.Resets, 1);
  }
}

TEST_F(Browse, FailedReloadReachesTheCallerAndResumesTheGrids) {
  AddBills(3);
  Open();
  TResetCounter heard;
  ds.AddObserver(&heard);
  ds.SQL = "Select * From 没有这个表";
  EXPECT_THROW(ReloadKeepPosition(ds, s.Store), EStoreError);
  int after = heard.Resets;
  ds.SQL = "Select * From 进销草稿";
  ds.Open();
  EXPECT_GT(heard.Resets, after) << "the grids must hear the dataset again";
  ds.RemoveObserver(&heard);
}

TEST_F(Browse, TotalsLine) {
  Open();
  EXPECT_EQ(TotalsLine(ds, "合计数量", "合计金额"), "合计数量:0    合计金额:0");

  AddBill("SO-1", "a", 12.5, 0.1);
  AddBill("SO-2", "b", kNull, 0.2);
  AddBill("SO-3", "c", 0.0, 299.7);
  ReloadDetached(ds, s.Store);
  ds.SetRecNo(2);
  EXPECT_EQ(TotalsLine(ds, "合计数量", "合计金额"), "合计数量:12.5    合计金额:300");
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_THROW(TotalsLine(ds, "合计数量", "数量"), EDataSetError);
  EXPECT_EQ(FormatTotal(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatTotal(-0.0), "0");
  EXPECT_EQ(FormatTotal(123456789.125), "123456789.125");
}

TEST_F(Browse, RecordCounterAndPageButtons) {
  QPushButton up, down;
  Open();
  EXPECT_EQ(RecordCounter(ds), "第 0/0 条记录");
  UpdatePageButtons(ds, &up, &down);
  EXPECT_FALSE(up.isEnabled());
  EXPECT_FALSE(down.isEnabled());

  AddBills(3);
  ReloadDetached(ds, s.Store);
  struct {
    int row;
    const char* counter;
    bool up, down;
  } cases[] = {{1, "第 1/3 条记录", false, true}, {2, "第 2/3 条记录", true, true}, {3, "第 3/3 条记录", true, false}};
  for (const auto& c : cases) {
    ds.SetRecNo(c.row);
    EXPECT_EQ(RecordCounter(ds), QString::fromUtf8(c.counter));
    UpdatePageButtons(ds, &up, &down);
    EXPECT_EQ(up.isEnabled(), c.up) << c.row;
    EXPECT_EQ(down.isEnabled(), c.down) << c.row;
  }
}

// --- Enter as Tab ------------------------------------------------------------------------------

TEST(EnterAsTab, EnterInTheAreaMovesOnOnceAndItemViewsKeepTheirEnter) {
  QWidget window;
  auto* area = new QWidget(&window);
  auto* first = new QLineEdit(area);
  auto* second = new QLineEdit(area);
  auto* third = new QLineEdit(area);
  auto* outside = new QLineEdit(&window);
  auto* table = new QTableView(area);
  auto* layout = new QVBoxLayout(area);
  for (QWidget* w : {static_cast<QWidget*>(first), static_cast<QWidget*>(second), static_cast<QWidget*>(third),
                     static_cast<QWidget*>(table)})
    layout->addWidget(w);
  new QVBoxLayout(&window);
  window.layout()->addWidget(area);
  window.layout()->addWidget(outside);
  new TEnterAsTab(area);
  window.show();

  auto pressEnter = [](QWidget* w, Qt::Key key = Qt::Key_Return) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    return QApplication::sendEvent(w, &e);
  };
  first->setFocus();
  pressEnter(first);
  EXPECT_EQ(window.focusWidget(), second);
  pressEnter(second, Qt::Key_Enter);
  EXPECT_EQ(window.focusWidget(), third);

  table->setFocus();
  pressEnter(table);
  EXPECT_EQ(window.focusWidget(), table);
  outside->setFocus();
  pressEnter(outside);
  EXPECT_EQ(window.focusWidget(), outside);
}

} // namespace
