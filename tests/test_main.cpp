// The main window: rights and single windows, the start states, connect and disconnect, the
// heartbeat, the server timer, the close, and the maintenance commands on a fresh store.
#include "TestSupport.h"
#include "U_Config.h"
#include "U_Curl.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_Heartbeat.h"
#include "U_Jet.h"
#include "U_Loading.h"
#include "U_Main.h"
#include "U_Maintain.h"
#include "U_PublicApi.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "QtTestSupport.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

// Replies from a queue (an empty text when it runs out); a reply given as a thrown error is
// thrown. Keeps the URLs. Safe to share with the heartbeat thread.
class TFakeHttp : public THttp {
public:
  std::string Get(const std::string& url) override {
    std::function<std::string()> next;
    {
      std::lock_guard lock(mutex_);
      urls_.push_back(url);
      if (!replies_.empty()) {
        next = replies_.front();
        replies_.pop_front();
      } else if (always_) {
        next = always_;
      }
    }
    changed_.notify_all();
    return next ? next() : std::string();
  }
  void Reply(std::string text) {
    std::lock_guard lock(mutex_);
    replies_.push_back([text] { return text; });
  }
  void Fail() {
    std::lock_guard lock(mutex_);
    replies_.push_back([]() -> std::string { throw EHttpError("connection refused"); });
  }
  void AlwaysFail() {
    Always([]() -> std::string { throw EHttpError("connection refused"); });
  }
  void Always(std::function<std::string()> reply) {
    std::lock_guard lock(mutex_);
    always_ = std::move(reply);
  }
  std::vector<std::string> Urls() const {
    std::lock_guard lock(mutex_);
    return urls_;
  }
  // Waits (at most the timeout) until n requests have come.
  bool WaitFor(size_t n, std::chrono::milliseconds timeout = 3s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return urls_.size() >= n; });
  }

private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> urls_;
  std::deque<std::function<std::string()>> replies_;
  std::function<std::string()> always_;
};

// A child window a later window would be: its creator counts the calls.
QWidget* Child(const QString& name) {
  auto* w = new QWidget;
  w->setObjectName(name);
  return w;
}

void DeleteClosed() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class MainWindow : public ::testing::Test {
protected:
  void SetUp() override {
    // role 1 has every right the commands ask for, role 2 none of the sales.
    for (const char* sql :
         {"Insert Into 权限 (ID,名称,打开,角色ID,显示) Values (1,'进货单',1,1,1)",
          "Insert Into 权限 (ID,名称,打开,角色ID,显示) Values (2,'销售单',1,1,1)",
          "Insert Into 权限 (ID,名称,打开,角色ID,显示) Values (3,'库存查询',1,1,1)",
          "Insert Into 权限 (ID,名称,打开,角色ID,显示) Values (4,'进货单',1,2,1)",
          "Insert Into 客户信息 (ID,名称,QQ) Values (5,'张三商行','12345')",
          "Insert Into 仓库 (ID,编号,名称,分店ID) Values (0,'0','所有仓库',0)",
          "Insert Into 仓库 (ID,编号,名称,分店ID) Values (1,'01','总仓',1)",
          "Insert Into 仓库 (ID,编号,名称,分店ID) Values (2,'02','分店仓',2)"})
      s.Store.Execute(sql);
    s.Store.Close();

    ProgramDir = QString::fromStdString(s.Dir.Dir());
    Config = TConfig{};
    Config.ClientName = QStringLiteral("小店桌面端");
    Config.DefaultCustomer = QStringLiteral("5");
    SetServerAddress("http://127.0.0.1:9/y6/webservice/api.aspx?", "demo");
    SetOnlineSession("");
    Session = TSession{};
    Session.LoginName = "zhang";
    Session.Password = "123456";
    Session.UserName = "张经理";
    Session.StoreID = "1";
    Session.Roles = "|1|";

    sm = new TScriptedMessageBox;
    DM = new TDM(s.Dir.Dir() + "WebC.db", std::unique_ptr<TMessageBox>(sm));
    auto h = std::make_unique<TFakeHttp>();
    http = h.get();
    DM->IHTTP = std::move(h);
    // What the start of the program loads before the login.
    for (TDataSet* d : {&DM->Q_ZY, &DM->Q_ZH, &DM->Q_CK}) OpenDetached(*d, DM->ADOC);
    DM->ADOC.Close();

    MainPlatform.HeartbeatInterval = 20ms;
    MainPlatform.NewHttp = [this] {
      auto h = std::make_unique<TFakeHttp>();
      beat = h.get();
      return std::unique_ptr<THttp>(std::move(h));
    };
    MainPlatform.Start = [this](const QString& program, const QString& commandLine) {
      started << program + '|' + commandLine;
      return true;
    };
    MainPlatform.OpenUrl = [this](const QUrl& url) {
      opened << url.toString();
      return true;
    };
    MainPlatform.Quit = [this] { ++quits; };
    MainHooks.NewBusiness = [this](TF_Main&, const QString& code, const QString&) {
      ++created[code];
      return Child(code);
    };
    MainHooks.NewPOS = [this](TF_Main&) {
      ++created["POS"];
      return Child("POS");
    };
  }

  void TearDown() override {
    delete f.data();
    DeleteClosed();
    MainHooks = TMainHooks{};
    ResetMainPlatform();
    delete DM;
    DM = nullptr;
    OpenWindows.clear();
    SetOnlineSession("");
    Session = TSession{};
    SetJetClock({});
  }

  TF_Main& Make() {
    f = new TF_Main;
    return *f;
  }
  QStringList Shown() const { return sm->Shown; }
  QString ActiveTab() const {
    QMdiSubWindow* tab = f->SMDITB->currentSubWindow();
    return tab && tab->widget() ? tab->widget()->objectName() : QString();
  }

  TFreshStore s;
  TScriptedMessageBox* sm = nullptr;
  TFakeHttp* http = nullptr;
  TFakeHttp* beat = nullptr; // the heartbeat's own client
  QPointer<TF_Main> f;
  QStringList started, opened;
  int quits = 0;
  std::map<QString, int> created;
};

// ---------------------------------------------------------------------------------------------
// Creation

TEST_F(MainWindow, CaptionStatusAndDates) {
  TF_Main& w = Make();
  EXPECT_EQ(w.windowTitle(), "小店桌面端 (20140802)");
  EXPECT_EQ(w.SL_Name->text(), "小店桌面端");
  const QDate today = QDate::currentDate();
  EXPECT_TRUE(w.SP_Date->text().startsWith(" 当前日期: " + today.toString("yyyy年MM月dd日") + ' '))
      << w.SP_Date->text().toStdString();
  EXPECT_EQ(w.SP_Data->text(), " 当前账套: demo");
  EXPECT_EQ(w.SP_User->text(), " 当前用户: 张经理");
  EXPECT_EQ(w.SP_State->text(), " 脱机状态");
  EXPECT_GE(w.minimumWidth(), 800);
  EXPECT_GE(w.minimumHeight(), 540);

  EXPECT_EQ(DateText(QDate(2014, 8, 2)), "2014/08/02");
  EXPECT_EQ(DateText(QDate(2014, 12, 31)), "2014/12/31");
  QString week;
  for (int d = 1; d <= 7; ++d) week += ShortDayName(d);
  EXPECT_EQ(week, "一二三四五六日");
}

TEST_F(MainWindow, DatasetsOfTheSessionAreLoaded) {
  Session.Roles = "|2|";
  Session.StoreID = "2";
  Make();
  EXPECT_TRUE(HasRight("进货单"));
  EXPECT_FALSE(HasRight("销售单"));
  EXPECT_FALSE(HasRight("进货")); // names match whole
  // This store's warehouses and the pseudo warehouse.
  EXPECT_EQ(DM->Q_CK.RecordCount(), 2);
  EXPECT_TRUE(DM->Q_CK.Locate("ID", TValue(std::int64_t(2))));
  for (TDataSet* d : {static_cast<TDataSet*>(&DM->Q_JHD), &DM->Q_QX, &DM->Q_KH, &DM->Q_KCSP, &DM->Q_QQ,
                      &DM->Q_KHJL})
    EXPECT_TRUE(d->Active()) << d->Name();
  EXPECT_FALSE(DM->ADOC.Connected());
}

TEST_F(MainWindow, DefaultCustomerName) {
  const struct {
    const char* id;
    const char* name;
  } cases[] = {{"5", "张三商行"}, {"6", ""}, {"-1", ""}, {"", ""}, {"x5", ""}};
  for (auto& c : cases) {
    Config.DefaultCustomer = c.id;
    TF_Main& w = Make();
    EXPECT_EQ(w.DefaultCusName, c.name) << c.id;
    delete f.data();
  }
}

TEST_F(MainWindow, QQPopStartsOnlyOnExactlyYes) {
  const struct {
    const char* value;
    bool on;
  } cases[] = {{"是", true}, {"是 ", false}, {"yes", false}, {"否", false}, {"", false}};
  for (auto& c : cases) {
    Config.QQPop = c.value;
    TF_Main& w = Make();
    EXPECT_EQ(w.T_GetQQ->isActive(), c.on) << c.value;
    EXPECT_EQ(w.N_QQ->text(), c.on ? "关闭QQ弹屏" : "启用QQ弹屏") << c.value;
    delete f.data();
  }
  TF_Main& w = Make();
  w.N_QQClick();
  EXPECT_TRUE(w.T_GetQQ->isActive());
  EXPECT_EQ(w.N_QQ->text(), "关闭QQ弹屏");
  w.N_QQClick();
  EXPECT_FALSE(w.T_GetQQ->isActive());
  EXPECT_EQ(w.N_QQ->text(), "启用QQ弹屏");
}

// ---------------------------------------------------------------------------------------------
// Rights and single windows

TEST_F(MainWindow, WithoutTheSalesRightTheFirstShowTellsAndTheWindowOpens) {
  Session.Roles = "|2|";
  TF_Main& w = Make();
  w.show();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(Shown(), QStringList{"i 您没有权限执行此功能。"});
  EXPECT_EQ(created["POS"], 0);
  w.SB_StocksClick();
  EXPECT_EQ(Shown().size(), 2);
  w.SB_PurClick(); // this right the role has
  EXPECT_EQ(created["IO"], 1);
}

TEST_F(MainWindow, SalesEditorAndPOSExcludeEachOther) {
  TF_Main& w = Make();
  w.show(); // opens the POS window
  ASSERT_EQ(created["POS"], 1);
  EXPECT_TRUE(HasOpenWindow("POS,"));
  EXPECT_TRUE(sm->Shown.isEmpty());

  w.SB_SalesClick();
  EXPECT_EQ(Shown(), QStringList{"i 请先退出POS销售单。"});
  EXPECT_EQ(created["SO"], 0);

  w.FindChildWindow("POS,")->close();
  DeleteClosed();
  EXPECT_EQ(OpenWindows, "");

  w.N_XSD->trigger();
  EXPECT_EQ(created["SO"], 1);
  EXPECT_EQ(OpenWindows, "SO,");
  EXPECT_EQ(w.FindChildWindow("SO,")->widget()->windowTitle(), "销售单");

  w.N_POS->trigger();
  EXPECT_EQ(Shown().last(), "i 请先退出销售单。");
  EXPECT_EQ(created["POS"], 1);
}

TEST_F(MainWindow, ASecondPurchaseCommandBringsTheFirstEditorForward) {
  TF_Main& w = Make();
  w.SB_PurClick();
  w.SB_SalesClick();
  EXPECT_EQ(ActiveTab(), "SO");
  w.SB_PurClick();
  EXPECT_EQ(created["IO"], 1);
  EXPECT_EQ(w.SMDITB->subWindowList().size(), 2);
  EXPECT_EQ(ActiveTab(), "IO");
  EXPECT_EQ(OpenWindows, "IO,SO,");
  EXPECT_FALSE(DM->ADOC.Connected());
}

TEST_F(MainWindow, FormVariableKeepsTheStockQuerySingle) {
  int made = 0;
  MainHooks.NewStocks = [&made](TF_Main&) {
    ++made;
    return Child("Stocks");
  };
  TF_Main& w = Make();
  w.SB_StocksClick();
  w.N_KC->trigger();
  EXPECT_EQ(made, 1);
  ASSERT_TRUE(F_Stocks);
  qobject_cast<QMdiSubWindow*>(F_Stocks->parentWidget())->close();
  DeleteClosed();
  EXPECT_FALSE(F_Stocks);
  w.SB_StocksClick();
  EXPECT_EQ(made, 2);
}

TEST(OpenWindowList, TagsAreRemovedOnceEach) {
  OpenWindows.clear();
  AddOpenWindow("SO,");
  AddOpenWindow("SO-140802-本地-001,");
  AddOpenWindow("SO,");
  EXPECT_TRUE(HasOpenWindow("SO-140802-本地-001,"));
  RemoveOpenWindow("SO,");
  EXPECT_EQ(OpenWindows, "SO-140802-本地-001,SO,");
  RemoveOpenWindow("POS,");
  EXPECT_EQ(OpenWindows, "SO-140802-本地-001,SO,");
  {
    QWidget bill;
    TagWindow(&bill, "BillLocal,");
    EXPECT_TRUE(HasOpenWindow("BillLocal,"));
  }
  EXPECT_EQ(OpenWindows, "SO-140802-本地-001,SO,");
  OpenWindows.clear();
}

// ---------------------------------------------------------------------------------------------
// Online and offline

// The items that work only online, with the heartbeat and T_Server.
void ExpectOnline(TF_Main& w, bool online) {
  EXPECT_EQ(w.SP_State->text(), online ? " 在线状态" : " 脱机状态");
  EXPECT_EQ(w.N_FWQ->text(), online ? "断开服务器" : "连接服务器");
  EXPECT_EQ(w.SL_NameItem->isVisible(), online);
  for (QAction* a : {w.N_SCDJ, w.N_XZSJ, w.N_BDSJ, w.N_SPKC, w.N_KHXX})
    EXPECT_EQ(a->isEnabled(), online) << a->objectName().toStdString();
  EXPECT_TRUE(w.N_QKDJ->isEnabled());
  EXPECT_EQ(w.T_Server->isActive(), online);
  EXPECT_EQ(w.Heartbeat().Suspended(), !online);
}

TEST_F(MainWindow, StartsInTheModeOfTheLogin) {
  Config.SyncMinutes = 3;
  ExpectOnline(Make(), false);
  EXPECT_EQ(f->T_Server->interval(), 180000);
  EXPECT_FALSE(f->SB_Goods->isVisible());
  delete f.data();
  SetOnlineSession("sid=1&db=demo");
  ExpectOnline(Make(), true);
}

TEST_F(MainWindow, ConnectOutcomes) {
  const struct {
    const char* reply; // nullptr: the network fails
    bool online;
    const char* notice;
  } cases[] = {
      {"sid=7&db=demo", true, "连接服务器成功！当前是在线状态。"},
      {"Error is a session too", true, "连接服务器成功！当前是在线状态。"},
      {"error 密码错误", false, "error 密码错误"},
      {nullptr, false, "连接服务器失败！网络故障导致的可断开服务器后重新连接服务器。"},
  };
  for (auto& c : cases) {
    TF_Main& w = Make();
    c.reply ? http->Reply(Utf8ToGbk(c.reply)) : http->Fail();
    w.N_FWQ->trigger();
    EXPECT_EQ(Shown().last(), QString("i ") + c.notice) << c.notice;
    EXPECT_EQ(OnlineSession(), c.online ? c.reply : "") << c.notice;
    ExpectOnline(w, c.online);
    EXPECT_EQ(http->Urls().back(),
              "http://127.0.0.1:9/y6/webservice/api.aspx?ver=1.0&db=demo&dbName=demo&uid=zhang&pwd=123456");
    delete f.data();
    SetOnlineSession("");
  }
}

TEST_F(MainWindow, DisconnectGoesOfflineAndConnectWorksAgain) {
  SetOnlineSession("sid=1&db=demo");
  TF_Main& w = Make();
  ASSERT_TRUE(beat->WaitFor(1));
  w.N_FWQClick();
  EXPECT_EQ(Shown(), QStringList{"i 断开服务器成功！当前是脱机状态。"});
  EXPECT_EQ(OnlineSession(), "");
  ExpectOnline(w, false);
  http->Reply("sid=2&db=demo");
  w.N_FWQClick();
  EXPECT_EQ(OnlineSession(), "sid=2&db=demo");
  ExpectOnline(w, true);
}

// ---------------------------------------------------------------------------------------------
// The heartbeat

class Heartbeat : public ::testing::Test {
protected:
  void SetUp() override { SetServerAddress("http://127.0.0.1:9/y6/webservice/api.aspx?", "demo"); }
  void TearDown() override { SetOnlineSession(""); }
  std::unique_ptr<THeartbeat> Make(bool running, std::chrono::milliseconds interval = 10ms) {
    auto h = std::make_unique<TFakeHttp>();
    http = h.get();
    return std::make_unique<THeartbeat>(std::move(h), interval, running);
  }
  TFakeHttp* http = nullptr;
};

TEST_F(Heartbeat, SendsWhileOnlineAndKeepsGoingThroughErrors) {
  SetOnlineSession("sid=1&db=demo");
  auto beat = Make(true);
  http->AlwaysFail();
  ASSERT_TRUE(http->WaitFor(3));
  EXPECT_EQ(http->Urls()[0], "http://127.0.0.1:9/y6/webservice/api.aspx?sid=1&db=demo&isonline=1");
}

TEST_F(Heartbeat, SuspendedOrWithoutSessionItSendsNothing) {
  SetOnlineSession("sid=1&db=demo");
  auto suspended = Make(false);
  EXPECT_FALSE(http->WaitFor(1, 100ms));
  suspended->Resume();
  EXPECT_TRUE(http->WaitFor(1));
  suspended->Suspend();
  std::this_thread::sleep_for(30ms); // a beat in flight may still land
  const size_t sent = http->Urls().size();
  EXPECT_FALSE(http->WaitFor(sent + 1, 100ms));

  SetOnlineSession("");
  auto empty = Make(true);
  EXPECT_FALSE(http->WaitFor(1, 100ms));
}

TEST_F(Heartbeat, StopsAtOnceOutOfItsPause) {
  SetOnlineSession("sid=1&db=demo");
  for (bool running : {true, false}) {
    auto beat = Make(running, 10s);
    if (running) ASSERT_TRUE(http->WaitFor(1));
    const auto t0 = std::chrono::steady_clock::now();
    beat.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s) << running;
  }
}

// ---------------------------------------------------------------------------------------------
// The server timer

TEST(SyncCommand, StoreAndTheThreeFilterFlags) {
  SetServerAddress("http://h/y6/webservice/api.aspx?", "demo");
  SetOnlineSession("sid=1&db=demo");
  const TSession saved = Session;
  const struct {
    const char *business, *customer, *supplier, *tail;
  } cases[] = {
      {"", " and 分店ID=12", "", " 12 0 1 0"},
      {"", "", "", " 12 0 0 0"},
      {" and 分店ID=12", " and 分店ID=12", " and 类别<>'供应商'", " 12 1 1 1"},
  };
  for (auto& c : cases) {
    Session.StoreID = "12";
    Session.BusinessFilter = c.business;
    Session.CustomerFilter = c.customer;
    Session.SupplierFilter = c.supplier;
    EXPECT_EQ(SyncCommandLine(), QString("http://h/y6/webservice/api.aspx?sid=1&db=demo") + c.tail);
  }
  Session = saved;
  SetOnlineSession("");
}

TEST_F(MainWindow, ServerTickRefreshesAndStartsSyncOnlyOnline) {
  TF_Main& w = Make();
  s.Dir.Write("Sync.exe", "");
  w.T_ServerTimer(); // offline
  EXPECT_TRUE(started.isEmpty());

  SetOnlineSession("sid=1&db=demo");
  s.Store.Execute("Insert Into 客户信息 (ID,名称) Values (6,'李四商行')");
  s.Store.Close();
  w.T_ServerTimer();
  EXPECT_EQ(DM->Q_KH.RecordCount(), 2); // the lookup lists were refreshed
  EXPECT_FALSE(DM->ADOC.Connected());
  EXPECT_EQ(started, QStringList{ProgramDir + "Sync.exe|" + SyncCommandLine()});

  std::filesystem::remove(s.Dir.Path() / "Sync.exe");
  w.T_ServerTimer();
  EXPECT_EQ(started.size(), 1);
}

TEST_F(MainWindow, AFailingRefreshClosesTheStoreAndSkipsSync) {
  TF_Main& w = Make();
  s.Dir.Write("Sync.exe", "");
  SetOnlineSession("sid=1&db=demo");
  s.Store.Execute("Drop Table 客户信息");
  s.Store.Close();
  EXPECT_ANY_THROW(w.T_ServerTimer());
  EXPECT_FALSE(DM->ADOC.Connected());
  EXPECT_TRUE(started.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Closing

TEST_F(MainWindow, CloseAsksAndYesShutsDown) {
  bool closing = false;
  MainHooks.Closing = [&closing] { closing = true; };
  TF_Main& w = Make();
  w.show();
  sm->Answers = {false};
  w.SB_ExitClick();
  DeleteClosed();
  ASSERT_TRUE(f);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(DM->Q_KH.Active());

  sm->Answers = {true};
  w.N_Exit->trigger();
  EXPECT_EQ(Shown(), (QStringList{"? 是否要退出系统？", "? 是否要退出系统？"}));
  EXPECT_TRUE(closing);
  for (TDataSet* d : {static_cast<TDataSet*>(&DM->Q_XSD), &DM->Q_QX, &DM->Q_KH, &DM->Q_CK, &DM->Q_KCSP, &DM->Q_QQ})
    EXPECT_FALSE(d->Active()) << d->Name();
  EXPECT_FALSE(DM->ADOC.Connected());
  DeleteClosed();
  EXPECT_FALSE(f);
}

// ---------------------------------------------------------------------------------------------
// Maintenance on the local store

class Maintenance : public MainWindow {
protected:
  void SetUp() override {
    MainWindow::SetUp();
    SetJetClock([] { return std::string("2014/08/15 09:30:00"); });
    SetOnlineSession("sid=1&db=demo");
  }
  // A replicated bill of the given age in days, with one line.
  void Bill(const std::string& header, const std::string& lines, const std::string& number, const char* date) {
    s.Store.Execute("Insert Into " + header + " (单据编号,单据日期) Values ('" + number + "',#" + date + "#)");
    s.Store.Execute("Insert Into " + lines + " (单据编号) Values ('" + number + "')");
  }
  std::string Numbers(const std::string& table) {
    std::string r;
    for (auto& row : s.Store.Query("Select 单据编号 From " + table + " Order By 单据编号").Rows) r += AsText(row[0]) + " ";
    s.Store.Close();
    return r;
  }
};

TEST_F(Maintenance, RetentionKeepsTheLast30DaysOnlyWhileThereAreAny) {
  const struct {
    const char *header, *lines;
  } kinds[] = {{"进销单据", "进销单据明细"}, {"收付款单", "收付款单明细"}};
  for (auto& k : kinds) {
    // 2014/08/15 is today: 5, 30 and 36 days old.
    Bill(k.header, k.lines, "A", "2014/08/10");
    Bill(k.header, k.lines, "B", "2014/07/16");
    Bill(k.header, k.lines, "C", "2014/07/10");
    RetainRecentBills(s.Store);
    EXPECT_EQ(Numbers(k.header), "A B ") << k.header;
    EXPECT_EQ(Numbers(k.lines), "A B ") << k.lines;

    // Without a younger bill nothing goes.
    s.Store.Execute(std::string("Delete From ") + k.header + " Where 单据编号='A'");
    Bill(k.header, k.lines, "D", "2014/06/01");
    RetainRecentBills(s.Store);
    EXPECT_EQ(Numbers(k.header), "B D ") << k.header;
  }
}

TEST_F(Maintenance, DownloadIncrementsTrimsRefreshesAndReports) {
  TF_Main& w = Make();
  Bill("进销单据", "进销单据明细", "NEW", "2014/08/14");
  Bill("进销单据", "进销单据明细", "OLD", "2014/07/01");
  s.Store.Execute("Insert Into 系统信息 (ID) Values (1)");
  s.Store.Close();
  sm->Answers = {true};
  w.N_XZSJ->trigger();
  EXPECT_EQ(Numbers("进销单据"), "NEW ");
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 权限")), 0); // the server sent none
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 系统信息")), 0);
  s.Store.Close();
  EXPECT_FALSE(HasRight("进货单")); // the lookup lists were refreshed
  ASSERT_EQ(Shown().size(), 2);
  EXPECT_TRUE(Shown()[1].startsWith("i 服务器最新增量数据已经下载到本地。\r\r仓库 0 条记录\r常用分类明细 0 条记录"))
      << Shown()[1].toStdString();
  EXPECT_FALSE(DM->ADOC.Connected());
}

TEST_F(Maintenance, AFailedDownloadClosesEverythingAndShowsNoNotice) {
  TF_Main& w = Make();
  F_Loading = new TF_Loading;
  s.Store.Execute("Insert Into 商品库存 (ID,商品ID,仓库ID,库存数量) Values (9001,1,1,5)");
  s.Store.Execute("Insert Into 客户信息 (ID,名称) Values (9001,'老客户')");
  s.Store.Execute("Insert Into 权限 (ID,名称,打开,角色ID,显示) Values (9001,'销售单',True,1,True)");
  const auto rights = AsInt(s.Scalar("Select Count(*) From 权限"));
  const auto stock = AsInt(s.Scalar("Select Count(*) From 商品库存"));
  const auto customers = AsInt(s.Scalar("Select Count(*) From 客户信息"));
  s.Store.Close();
  http->AlwaysFail();
  sm->Answers = {true, true, true, true};
  for (auto command : {&TF_Main::N_XZSJClick, &TF_Main::N_SPKCClick, &TF_Main::N_KHXXClick, &TF_Main::N_BDSJClick}) {
    const int before = Shown().size();
    EXPECT_THROW((w.*command)(), EHttpError);
    EXPECT_EQ(Shown().size(), before + 1); // the question only
    EXPECT_FALSE(F_Loading->isVisible());
    EXPECT_FALSE(DM->ADOC.Connected());
    EXPECT_TRUE(w.T_Server->isActive());
  }
  // What the store held before a failed rebuild is still there to work offline with; the rights
  // the increments delete to fetch them again whole come back too.
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 权限")), rights);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 商品库存")), stock);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 客户信息")), customers);
  s.Store.Close();
  delete F_Loading;
}

TEST_F(Maintenance, InitialiseRebuildsTheReplicasWithTheTimerPaused) {
  TF_Main& w = Make();
  s.Store.Execute("Insert Into 进销草稿 (单据编号) Values ('SO-140815-本地-001')");
  s.Store.Close();
  bool timerRan = false;
  http->Always([&] {
    timerRan = timerRan || w.T_Server->isActive();
    return std::string();
  });
  sm->Answers = {true};
  w.N_BDSJ->trigger();
  EXPECT_FALSE(timerRan);
  EXPECT_TRUE(w.T_Server->isActive());
  ASSERT_EQ(Shown().size(), 2);
  EXPECT_TRUE(Shown()[1].startsWith("i 本地数据初始化成功。\r\r仓库 0 条记录\r")) << Shown()[1].toStdString();
  EXPECT_EQ(Numbers("进销草稿"), "SO-140815-本地-001 ");
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 客户信息")), 0);
  EXPECT_EQ(AsText(s.Scalar("Select 名称 From 仓库")), "所有仓库");
  s.Store.Close();
  EXPECT_EQ(DM->Q_KH.RecordCount(), 0);
  EXPECT_FALSE(DM->ADOC.Connected());
}

TEST_F(Maintenance, SynchroniseStockReportsTheFourTablesInOrder) {
  TF_Main& w = Make();
  s.Store.Execute("Insert Into 商品库存 (ID,商品ID,仓库ID,库存数量) Values (1,1,1,5)");
  s.Store.Close();
  sm->Answers = {true};
  w.N_SPKCClick();
  EXPECT_EQ(Shown().last(), "i 本地商品库存同步成功。\r库存锁定 0 条记录\r商品库存 0 条记录\r综合库存 0 条记录"
                            "\r业务序列号 0 条记录");
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 商品库存")), 0);
  s.Store.Close();
  EXPECT_TRUE(w.T_Server->isActive());
  // The stock filter of the session goes with the query.
  EXPECT_NE(QString::fromStdString(http->Urls()[1]).indexOf("%BF%E2%B4%E6%CA%FD%C1%BF%3C%3E0"), -1);
}

TEST_F(Maintenance, ClearDraftsLeavesTheReplicas) {
  SetOnlineSession("");
  TF_Main& w = Make();
  s.Store.Execute("Insert Into 进销草稿 (单据编号) Values ('SO-140815-本地-001')");
  s.Store.Execute("Insert Into 收付草稿明细 (单据编号) Values ('SK-140815-本地-001')");
  Bill("进销单据", "进销单据明细", "SO-1", "2014/08/14");
  s.Store.Close();
  sm->Answers = {false, true};
  w.N_QKDJ->trigger();
  EXPECT_EQ(Numbers("进销草稿"), "SO-140815-本地-001 ");
  w.N_QKDJ->trigger();
  EXPECT_EQ(Shown(), (QStringList{"? 是否要清空本地单据？", "? 是否要清空本地单据？", "i 本地单据已清空。"}));
  for (const char* t : {"进销草稿", "进销草稿明细", "收付草稿", "收付草稿明细", "序列号草稿"})
    EXPECT_EQ(Numbers(t), "") << t;
  EXPECT_EQ(Numbers("进销单据"), "SO-1 ");
}

TEST_F(Maintenance, CommandsThatNeedTheSessionDoNothingWithout) {
  TF_Main& w = Make();
  SetOnlineSession(""); // a failed save emptied it; the items stay enabled
  for (QAction* a : {w.N_SCDJ, w.N_BDSJ, w.N_SPKC, w.N_KHXX}) a->trigger();
  EXPECT_TRUE(Shown().isEmpty());
  EXPECT_TRUE(http->Urls().empty());
}

TEST_F(Maintenance, UpdateSavesThePackageAndHandsOverToTheUpdater) {
  Config.UpdateAddress = "http://127.0.0.1:9/Update.rar";
  MainPlatform.NewHttp = [] {
    auto h = std::make_unique<TFakeHttp>();
    h->Reply("RAR!package");
    return std::unique_ptr<THttp>(std::move(h));
  };
  TF_Main& w = Make();
  w.show();
  sm->Answers = {true};
  w.N_UpdateClick(); // no updater beside the program: it keeps running
  EXPECT_EQ(s.Dir.Read("Update.rar"), "RAR!package");
  EXPECT_TRUE(started.isEmpty());
  EXPECT_EQ(quits, 0);

  s.Dir.Write("Update.exe", "");
  sm->Answers = {true};
  w.N_UpdateClick();
  EXPECT_EQ(started, QStringList{ProgramDir + "Update.exe|"});
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(Shown().contains("? 是否要退出系统？"));
  DeleteClosed();
  EXPECT_FALSE(f);
}

// ---------------------------------------------------------------------------------------------
// Against the development server

#ifdef Y6SERVER
class MainOnline : public MainWindow {
protected:
  void SetUp() override {
    MainWindow::SetUp();
    server = std::make_unique<TServerProcess>(Y6SERVER, serverDir.Path());
    SetServerAddress(server->BaseURL(), "demo");
    DM->IHTTP = std::make_unique<TCurlHttp>();
    http = nullptr;
    MainPlatform.NewHttp = [] { return std::unique_ptr<THttp>(std::make_unique<TCurlHttp>()); };
    MainPlatform.HeartbeatInterval = 50ms;
  }
  int Heartbeats() {
    int n = 0;
    std::istringstream in(server->Admin("/__admin/log"));
    for (std::string l; std::getline(in, l);)
      if (l.find("\theartbeat\t") != std::string::npos) ++n;
    return n;
  }
  bool WaitForHeartbeats(int n) {
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(30ms))
      if (Heartbeats() >= n) return true;
    return false;
  }
  int LocalCount(const std::string& sql) {
    const int n = static_cast<int>(AsInt(s.Scalar(sql)));
    s.Store.Close();
    return n;
  }
  TTempDir serverDir;
  std::unique_ptr<TServerProcess> server;
};

TEST_F(MainOnline, ConnectBeatsAndDisconnectStopsTheBeat) {
  TF_Main& w = Make();
  Session.Password = "wrong";
  w.N_FWQClick();
  EXPECT_TRUE(Shown().last().startsWith("i error")) << Shown().last().toStdString();
  EXPECT_FALSE(IsOnline());

  Session.Password = "123456";
  w.N_FWQClick();
  EXPECT_EQ(Shown().last(), "i 连接服务器成功！当前是在线状态。");
  ExpectOnline(w, true);
  ASSERT_TRUE(WaitForHeartbeats(2));

  w.N_FWQClick();
  ExpectOnline(w, false);
  std::this_thread::sleep_for(100ms); // a beat in flight may still land
  const int beats = Heartbeats();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Heartbeats(), beats);

  server->Stop(); // with the server gone, connect tells and stays offline
  w.N_FWQClick();
  EXPECT_EQ(Shown().last(), "i 连接服务器失败！网络故障导致的可断开服务器后重新连接服务器。");
  ExpectOnline(w, false);
}

TEST_F(MainOnline, InitialiseThenDownloadIncrementsOnTheDemoShop) {
  SetOnlineSession(LoginRequest("demo", "zhang", "123456"));
  TF_Main& w = Make();
  sm->Answers = {true};
  w.N_BDSJClick();
  ASSERT_TRUE(Shown().last().startsWith("i 本地数据初始化成功。\r\r仓库 ")) << Shown().last().toStdString();
  const int goods = LocalCount("Select Count(*) From 商品信息");
  EXPECT_GT(goods, 0);
  EXPECT_GT(DM->Q_KH.RecordCount(), 0);

  // A bill of 40 days ago goes with its lines; the recent ones stay.
  const int recent = LocalCount("Select Count(*) From 进销单据");
  ASSERT_GT(recent, 0);
  const std::string old = "'" + DateText(QDate::currentDate().addDays(-40)).toStdString() + "'";
  s.Store.Execute("Insert Into 进销单据 (ID,单据编号,单据日期) Values (-1,'SO-OLD'," + old + ")");
  s.Store.Execute("Insert Into 进销单据明细 (ID,单据编号) Values (-1,'SO-OLD')");
  s.Store.Close();
  server->Admin("/__admin/query?db=demo&sql=" +
                UrlEncode("INSERT INTO 客户信息 (ID,客户分类ID,名称,停用,分店ID) VALUES (90001,1,'新客户',0,1)"));

  sm->Answers = {true};
  w.N_XZSJClick();
  EXPECT_TRUE(Shown().last().startsWith("i 服务器最新增量数据已经下载到本地。\r\r仓库 0 条记录"));
  EXPECT_NE(Shown().last().indexOf("客户信息 1 条记录"), -1) << Shown().last().toStdString();
  EXPECT_EQ(LocalCount("Select Count(*) From 进销单据 Where 单据编号='SO-OLD'"), 0);
  EXPECT_EQ(LocalCount("Select Count(*) From 进销单据明细 Where 单据编号='SO-OLD'"), 0);
  EXPECT_EQ(LocalCount("Select Count(*) From 进销单据"), recent);
  EXPECT_EQ(LocalCount("Select Count(*) From 商品信息"), goods);
  EXPECT_TRUE(HasRight("销售单")); // rights came again whole
  EXPECT_TRUE(DM->Q_KH.Locate("ID", TValue(std::int64_t(90001))));
}
#endif

} // namespace
