// The lookup combo box and the progress window.
#include "TestSupport.h"
#include "U_Data.h"
#include "U_DBLookup.h"
#include "U_Loading.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_set";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

TValue Int(std::int64_t v) { return TValue{v}; }

// A small shop in a fresh store: three staff (one of them retired), two accounts, two
// warehouses.
void FillShop(TStore& store) {
  store.Execute("Insert Into 职员信息 (ID, 编号, 姓名, 停用) Values (1, '001', '张三', 0)");
  store.Execute("Insert Into 职员信息 (ID, 编号, 姓名, 停用) Values (2, '002', '李四', 0)");
  store.Execute("Insert Into 职员信息 (ID, 编号, 姓名, 停用) Values (3, '003', '王五', 1)");
  store.Execute("Insert Into 现金银行 (ID, 帐号, 名称) Values (1, '1001', '现金')");
  store.Execute("Insert Into 现金银行 (ID, 帐号, 名称) Values (2, '1002', '工商银行')");
  store.Execute("Insert Into 仓库 (ID, 编号, 名称, 分店ID) Values (1, '01', '总仓', 1)");
  store.Execute("Insert Into 仓库 (ID, 编号, 名称, 分店ID) Values (2, '02', '门店仓', 2)");
}

// ---------------------------------------------------------------------------------------------
// The lookup combo box

class Lookup : public ::testing::Test {
protected:
  void SetUp() override {
    FillShop(s.Store);
    staff.SQL = "Select ID,编号,姓名 From 职员信息 Where 停用=0";
    OpenDetached(staff, s.Store);
    s.Store.Close();
  }
  TFreshStore s;
  TDataSet staff{"Q_ZY"};
  TDBLookupComboBox box{"DBLCB_Manage", staff, "ID", "姓名"};
};

TEST_F(Lookup, SelectsByKeyWithoutMovingTheList) {
  EXPECT_EQ(box.objectName(), "DBLCB_Manage");
  EXPECT_EQ(box.count(), 2);
  EXPECT_TRUE(IsNull(box.KeyValue()));
  EXPECT_EQ(box.currentIndex(), -1);

  staff.First();
  box.SetKeyValue(Int(2));
  EXPECT_EQ(box.currentText(), "李四");
  EXPECT_EQ(box.KeyInt(), 2);
  EXPECT_EQ(staff.RecNo(), 1); // the list is shared: its current row stays

  box.SetKeyValue(TValue{std::string("1")}); // a key read as text is the same key
  EXPECT_EQ(box.currentText(), "张三");
}

TEST_F(Lookup, AKeyWithoutARowShowsEmptyAndIsKept) {
  for (std::int64_t key : {0, 3, 99}) { // none, a retired employee, a removed one
    box.SetKeyValue(Int(2));
    box.SetKeyValue(Int(key));
    EXPECT_EQ(box.currentIndex(), -1) << key;
    EXPECT_EQ(box.currentText(), "") << key;
    EXPECT_EQ(box.KeyInt(), key);
  }
  box.SetKeyValue(TValue{});
  EXPECT_EQ(box.KeyInt(), 0); // nothing selected counts as no one
}

TEST_F(Lookup, TheUserPicksARowByIndexOrByTyping) {
  int changed = 0;
  QObject::connect(&box, &TDBLookupComboBox::KeyValueChanged, [&] { ++changed; });
  box.SetKeyValue(Int(1));
  EXPECT_EQ(changed, 0); // setting the key is not the user's choice

  box.setCurrentIndex(1);
  EXPECT_EQ(box.KeyInt(), 2);
  EXPECT_EQ(changed, 1);

  QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("张"));
  QApplication::sendEvent(&box, &key);
  EXPECT_EQ(box.currentText(), "张三");
  EXPECT_EQ(box.KeyInt(), 1);
  EXPECT_EQ(changed, 2);
}

TEST_F(Lookup, AReloadSelectsTheKeyAgain) {
  box.SetKeyValue(Int(4)); // not there yet
  s.Store.Execute("Insert Into 职员信息 (ID, 编号, 姓名, 停用) Values (4, '004', '赵六', 0)");
  ReloadDetached(staff, s.Store);
  s.Store.Close();
  EXPECT_EQ(box.count(), 3);
  EXPECT_EQ(box.currentText(), "赵六");

  staff.SetSort("ID DESC"); // other rows in front: the key, not the index, is what is selected
  EXPECT_EQ(box.currentIndex(), 0);
  EXPECT_EQ(box.itemText(2), "张三");
  EXPECT_EQ(box.currentText(), "赵六");

  staff.Close();
  EXPECT_EQ(box.count(), 0);
  EXPECT_EQ(box.KeyInt(), 4);
  OpenDetached(staff, s.Store);
  s.Store.Close();
  EXPECT_EQ(box.currentText(), "赵六");
}

// ---------------------------------------------------------------------------------------------
// The progress window

TEST(Loading, ABorderlessBoxOnTop) {
  TF_Loading w;
  EXPECT_EQ(w.objectName(), "F_Loading");
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.isWindow());
  EXPECT_EQ(w.size(), QSize(400, 48));
  EXPECT_EQ(w.SL_Name->objectName(), "SL_Name");
  EXPECT_EQ(w.SL_Name->text(), "桌面客户端");
  EXPECT_EQ(w.SL_Name->alignment(), Qt::AlignCenter);
}

TEST(Loading, ShownForTheWorkAndClosedEvenWhenItFails) {
  TF_Loading w;
  F_Loading = &w;
  auto work = [&](bool fail) {
    TLoading loading(QStringLiteral("正在下载数据，请稍候..."));
    EXPECT_EQ(&loading.Window(), &w);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.SL_Name->text(), "正在下载数据，请稍候...");
    loading.SetText(QStringLiteral("正在导入..."));
    EXPECT_EQ(w.SL_Name->text(), "正在导入...");
    if (fail) throw std::runtime_error("broken");
  };
  work(false);
  EXPECT_FALSE(w.isVisible());
  EXPECT_THROW(work(true), std::runtime_error);
  EXPECT_FALSE(w.isVisible());
  F_Loading = nullptr;
}

TEST(Loading, WorksBeforeTheProgramHasItsWindow) {
  ASSERT_EQ(F_Loading, nullptr);
  {
    TLoading loading(QStringLiteral("正在初始化..."));
    EXPECT_TRUE(loading.Window().isVisible());
    EXPECT_EQ(loading.Window().SL_Name->text(), "正在初始化...");
  }
  auto* w = new TF_Loading;
  F_Loading = w;
  delete w;
  EXPECT_EQ(F_Loading, nullptr); // a closed program window is not used again
}

} // namespace
