// The settings dialog, the lookup combo box and the progress window.
#include "TestSupport.h"
#include "U_Config.h"
#include "U_Data.h"
#include "U_DBLookup.h"
#include "U_Gbk.h"
#include "U_Ini.h"
#include "U_Loading.h"
#include "U_PublicApi.h"
#include "U_Set.h"

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

#include "QtTestSupport.h"

namespace {

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
// The settings dialog

// Set.ini as a shop has it: a comment, the default customer the customer picker wrote, and a
// section of another program after ours.
const std::string kIni = "; 桌面端配置，请勿删除\r\n[系统配置]\r\n默认客户=12\r\n\r\n[其他]\r\nx=1\r\n";

class Settings : public ::testing::Test {
protected:
  void SetUp() override {
    saved = {DM, Config, ProgramDir, ConfigPath, ApiBaseURL(), DatabaseName(), OnlineSession()};
    FillShop(s.Store);
    auto box = std::make_unique<TScriptedMessageBox>();
    sm = box.get();
    DM = new TDM(s.Dir.Dir() + "WebC.db", std::move(box));
    for (TDataSet* d : {&DM->Q_ZY, &DM->Q_ZH, &DM->Q_CK}) OpenDetached(*d, DM->ADOC);
    DM->ADOC.Close();

    ProgramDir = QString::fromStdString(s.Dir.Dir());
    ConfigPath = ProgramDir + "Set.ini";
    s.Dir.Write("Set.ini", Utf8ToGbk(kIni));
    // The running values differ from the file's: the dialog shows the running ones.
    Config = TConfig{};
    Config.LoginPage = "http://old.example/y6/Login.aspx?db=old&x=1";
    Config.SyncMinutes = 20;
    Config.Offline = "否";
    Config.QQPop = "是";
    Config.CloudGoods = "否";
    Config.DefaultCustomer = "12";
    Config.InvoiceType = "普通发票";
    Config.Account = 2;
    Config.Guide = 1;
    Config.Keeper = 2;
    Config.GoodsStore = 2;
    Config.POSAccount = 1;
    Config.DrawerPort = "/dev/usb/lp0";
    Config.DrawerCommand = "1";
    Config.AutoPrint = "是";
    Config.KeepBillSettings = "否";
    Config.ClientName = "禾岚一店";
    Config.UpdateAddress = "http://old.example/Update.rar";
    Config.DefaultUser = "张三";
    SetServerAddress("http://old.example/y6/webservice/api.aspx?", "old");
    SetOnlineSession("SID=old1");
    f = std::make_unique<TF_Set>();
  }
  void TearDown() override {
    f.reset();
    delete DM;
    DM = saved.dm;
    Config = saved.config;
    ProgramDir = saved.dir;
    ConfigPath = saved.path;
    SetServerAddress(saved.base, saved.db);
    SetOnlineSession(saved.session);
  }
  QString FileText() const { return QString::fromStdString(GbkToUtf8(s.Dir.Read("Set.ini"))); }
  QString FileValue(const char* key) const {
    return TIniFile(ConfigPath).ReadString(kConfigSection, QString::fromUtf8(key), "<missing>");
  }

  struct {
    TDM* dm;
    TConfig config;
    QString dir, path;
    std::string base, db, session;
  } saved;
  TFreshStore s;
  TScriptedMessageBox* sm = nullptr;
  std::unique_ptr<TF_Set> f;
};

// Every value of the configuration, to compare two of them at once.
QStringList Values(const TConfig& c) {
  return {c.LoginPage, QString::number(c.SyncMinutes), c.Offline, c.QQPop, c.CloudGoods, c.DefaultCustomer,
          c.InvoiceType, QString::number(c.Account), QString::number(c.Guide), QString::number(c.Keeper),
          QString::number(c.GoodsStore), QString::number(c.POSAccount), c.DrawerPort, c.DrawerCommand,
          c.AutoPrint, c.KeepBillSettings, c.ClientName, c.UpdateAddress, c.DefaultUser};
}

TEST_F(Settings, TheFormAsTheUserSeesIt) {
  EXPECT_EQ(f->windowTitle(), "系统设置");
  EXPECT_EQ(f->B_Save->text(), "确定(&Y)");
  EXPECT_EQ(f->B_Cancel->text(), "取消(&C)");
  EXPECT_EQ(f->minimumSize(), f->maximumSize()); // fixed
  EXPECT_GE(f->width(), 392);
  EXPECT_GE(f->height(), 303);
  for (const char* name : {"E_Site", "E_mbPort", "E_mbCode", "E_Soft", "E_Update", "E_Login"})
    EXPECT_NE(f->findChild<QLineEdit*>(name), nullptr) << name;
  for (const char* name : {"DBLCB_Account", "DBLCB_Manage", "DBLCB_Store", "DBLCB_Storage", "DBLCB_AccountPOS"})
    EXPECT_NE(f->findChild<TDBLookupComboBox*>(name), nullptr) << name;
  EXPECT_NE(f->findChild<QSpinBox*>("NE_Min"), nullptr);
  EXPECT_NE(f->findChild<QToolButton*>("SB_Account"), nullptr);
  EXPECT_TRUE(f->C_Barcode->isHidden());
  EXPECT_FALSE(f->C_QQ->isHidden());

  QStringList labels;
  for (QLabel* l : f->findChildren<QLabel*>()) labels << l->text();
  for (const char* caption : {"Y6登陆页面地址(&S)", "在线状态本地每(&M)", "分钟自动和服务器同步增量数据", "发票类型",
                              "收付账户", "  导购员", "出库人", "商品仓库", "POS收款账户", "钱箱端口", "指令",
                              "桌面端名称(&N)", "桌面端升级(&U)", "默认登陆用户名(&L)"})
    EXPECT_TRUE(labels.contains(QString::fromUtf8(caption))) << caption;
  QStringList types;
  for (int i = 0; i < f->CB_Type->count(); ++i) types << f->CB_Type->itemText(i);
  EXPECT_EQ(types, (QStringList{"", "收据", "普通发票", "增值税发票"}));
}

TEST_F(Settings, ShowsTheRunningConfiguration) {
  EXPECT_EQ(f->E_Site->text(), Config.LoginPage);
  EXPECT_EQ(f->NE_Min->value(), 20);
  EXPECT_EQ(f->CB_Type->currentText(), "普通发票");
  EXPECT_EQ(f->DBLCB_Account->currentText(), "工商银行");
  EXPECT_EQ(f->DBLCB_AccountPOS->currentText(), "现金");
  EXPECT_EQ(f->DBLCB_Manage->currentText(), "张三");
  EXPECT_EQ(f->DBLCB_Store->currentText(), "李四");
  EXPECT_EQ(f->DBLCB_Storage->currentText(), "门店仓");
  EXPECT_EQ(f->E_mbPort->text(), "/dev/usb/lp0");
  EXPECT_EQ(f->E_mbCode->text(), "1");
  EXPECT_EQ(f->E_Soft->text(), "禾岚一店");
  EXPECT_EQ(f->E_Update->text(), "http://old.example/Update.rar");
  EXPECT_EQ(f->E_Login->text(), "张三");
  EXPECT_EQ((std::vector<bool>{f->C_Print->isChecked(), f->C_Web->isChecked(), f->C_Bill->isChecked(),
                               f->C_QQ->isChecked(), f->C_Barcode->isChecked()}),
            (std::vector<bool>{true, false, false, true, false}));
}

TEST_F(Settings, SaveWritesEveryKeyInOrderAndKeepsTheRestOfTheFile) {
  f->E_Site->setText("http://new.example/Login.aspx?db=shop02&x=1");
  f->CB_Type->setCurrentText("增值税发票");
  f->DBLCB_Manage->setCurrentIndex(1);
  f->E_Soft->setText("禾岚二店");
  f->C_Web->setChecked(true);
  f->B_Save->click();

  EXPECT_EQ(f->result(), QDialog::Accepted);
  EXPECT_TRUE(sm->Shown.isEmpty());
  EXPECT_EQ(Config.Guide, 2);
  EXPECT_EQ(Config.InvoiceType, "增值税发票");
  EXPECT_EQ(Config.ClientName, "禾岚二店");
  EXPECT_EQ(Config.Offline, "是");
  EXPECT_EQ(Config.DefaultCustomer, "12");

  EXPECT_EQ(FileText(), "; 桌面端配置，请勿删除\r\n[系统配置]\r\n默认客户=12\r\n"
                        "Y6登陆页面地址=http://new.example/Login.aspx?db=shop02&x=1\r\n数据同步间隔分=20\r\n"
                        "脱机工作=是\r\nQQ弹屏=是\r\n云商品库=否\r\n发票类型=增值税发票\r\n收款账号=2\r\n导购员=2\r\n"
                        "出库人=2\r\n商品仓库=2\r\nPOS收款账号=1\r\n保存单据设置=否\r\n桌面端名称=禾岚二店\r\n"
                        "桌面端升级=http://old.example/Update.rar\r\n默认登陆用户名=张三\r\n钱箱端口=/dev/usb/lp0\r\n"
                        "钱箱指令=1\r\n收款自动打印=是\r\n\r\n[其他]\r\nx=1\r\n");
  std::string raw = s.Dir.Read("Set.ini");
  EXPECT_NE(raw.find(Utf8ToGbk("桌面端名称=禾岚二店")), std::string::npos); // GBK, as the shop's editor expects
  EXPECT_EQ(ReadConfig(TIniFile(ConfigPath)).ClientName, "禾岚二店");
}

TEST_F(Settings, ASecondSaveReplacesTheLinesInPlace) {
  s.Dir.Write("Set.ini", Utf8ToGbk("[系统配置]\r\n; 地址\r\nY6登陆页面地址=x\r\n默认客户=7\r\nQQ弹屏=否\r\n"));
  f->B_Save->click();
  QStringList lines = FileText().split("\r\n");
  EXPECT_EQ(lines.mid(0, 5), (QStringList{"[系统配置]", "; 地址", "Y6登陆页面地址=" + Config.LoginPage, "默认客户=7",
                                          "QQ弹屏=是"}));
  EXPECT_EQ(lines.count(), 2 + 19 + 1); // section, comment, the keys, nothing twice
}

TEST_F(Settings, IntervalOfZeroBecomesOne) {
  const std::pair<int, int> cases[] = {{0, 1}, {45, 45}};
  for (auto [typed, stored] : cases) {
    f->NE_Min->setValue(typed);
    f->B_SaveClick();
    EXPECT_EQ(Config.SyncMinutes, stored) << typed;
    EXPECT_EQ(FileValue("数据同步间隔分"), QString::number(stored)) << typed;
  }
}

TEST_F(Settings, ANewLoginPageMovesTheNextRequestKeepingTheSession) {
  f->E_Site->setText("http://new.example/shop/Login.aspx?db=shop02&x=1");
  f->B_Save->click();
  EXPECT_EQ(ApiBaseURL(), "http://new.example/shop/webservice/api.aspx?");
  EXPECT_EQ(DatabaseName(), "shop02");
  EXPECT_EQ(OnlineSession(), "SID=old1");
  EXPECT_EQ(FileValue("Y6登陆页面地址"), "http://new.example/shop/Login.aspx?db=shop02&x=1");
}

TEST_F(Settings, UncheckingTheScreenPopChangesOnlyThatValue) {
  TConfig expected = Config;
  expected.QQPop = "否";
  f->C_QQ->setChecked(false);
  f->B_Save->click();
  EXPECT_EQ(Values(Config), Values(expected));
  EXPECT_EQ(FileValue("QQ弹屏"), "否");
  EXPECT_EQ(ApiBaseURL(), "http://old.example/y6/webservice/api.aspx?");
  EXPECT_EQ(OnlineSession(), "SID=old1");
}

TEST_F(Settings, TheSmallButtonClearsTheAccount) {
  f->SB_Account->click();
  EXPECT_EQ(f->DBLCB_Account->currentText(), "");
  EXPECT_EQ(f->DBLCB_AccountPOS->currentText(), "现金"); // only the one beside it
  f->B_Save->click();
  EXPECT_EQ(Config.Account, 0);
  EXPECT_EQ(FileValue("收款账号"), "0");
}

TEST_F(Settings, AnIdNoLongerInTheListIsKept) {
  Config.Guide = 3; // retired since it was chosen
  Config.GoodsStore = 0;
  f = std::make_unique<TF_Set>();
  EXPECT_EQ(f->DBLCB_Manage->currentText(), "");
  EXPECT_EQ(f->DBLCB_Storage->currentText(), "");
  f->B_Save->click();
  EXPECT_EQ(FileValue("导购员"), "3");
  EXPECT_EQ(FileValue("商品仓库"), "0");
}

TEST_F(Settings, CancelChangesNothing) {
  const QStringList before = Values(Config);
  const std::string file = s.Dir.Read("Set.ini");
  f->E_Site->setText("http://other.example/Login.aspx?db=x&y");
  f->NE_Min->setValue(0);
  f->SB_Account->click();
  f->C_QQ->setChecked(false);
  f->B_Cancel->click();
  EXPECT_EQ(f->result(), QDialog::Rejected);
  EXPECT_EQ(Values(Config), before);
  EXPECT_EQ(s.Dir.Read("Set.ini"), file);
  EXPECT_EQ(ApiBaseURL(), "http://old.example/y6/webservice/api.aspx?");
  EXPECT_TRUE(sm->Shown.isEmpty());
}

TEST_F(Settings, AMissingFileIsToldAndNothingChanges) {
  std::filesystem::remove(s.Dir.Path() / "Set.ini");
  const QStringList before = Values(Config);
  f->E_Site->setText("http://other.example/Login.aspx?db=x&y");
  f->C_QQ->setChecked(false);
  f->B_Save->click();
  EXPECT_EQ(sm->Shown, QStringList{"i 配置文件 Set.ini 丢失。"});
  EXPECT_NE(f->result(), QDialog::Accepted); // stays open for another try
  EXPECT_EQ(Values(Config), before);
  EXPECT_EQ(ApiBaseURL(), "http://old.example/y6/webservice/api.aspx?");
  EXPECT_FALSE(std::filesystem::exists(s.Dir.Path() / "Set.ini"));
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
