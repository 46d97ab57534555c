// The login dialog: the local and the first-time path, their refusals, offline work, the
// session with its filters, the store initialisation and the desktop shortcut. The dialog is
// driven through its widgets; the server is a scripted fake, and at the end y6server with its
// demo shop.
#include "TestSupport.h"
#include "U_Config.h"
#include "U_Curl.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_Load.h"
#include "U_Login.h"
#include "U_Password.h"
#include "U_PublicApi.h"
#include "U_PublicSync.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "QtTestSupport.h"

#include <map>

// Readable texts in the failure output.
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string PercentDecode(const std::string& url) {
  std::string out;
  for (size_t i = 0; i < url.size(); ++i)
    if (url[i] == '%' && i + 2 < url.size()) {
      out += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else out += url[i];
  return out;
}

using TRow = std::map<std::string, std::string>;

// A reply table over the columns of a list (constant columns such as "'wobrel' As 密码" are
// not sent): the given values, raw as they go on the wire, and nothing for the others.
std::string Table(const std::string& columns, const std::vector<TRow>& rows) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= columns.size()) {
    size_t comma = columns.find(',', start);
    std::string c = columns.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (c.find(" As ") == std::string::npos) names.push_back(c);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + names[i];
  out += "\r\n";
  for (const TRow& r : rows) {
    for (size_t i = 0; i < names.size(); ++i) {
      auto v = r.find(names[i]);
      out += (i ? "," : "") + (v == r.end() ? std::string() : v->second);
    }
    out += "\r\n";
  }
  return out;
}

// The web system's API as far as the login uses it: the login answer, the user's store row,
// a first page of each table, heartbeats. Keeps every request decoded; a request holding
// FailOn fails like a refused connection.
class TFakeServer : public THttp {
public:
  std::string LoginReply = "sid=7&db=demo";
  std::map<std::string, std::string> Tables; // table name -> reply (UTF-8)
  std::string FailOn;
  std::vector<std::string> Requests;

  std::string Get(const std::string& url) override {
    const std::string u = GbkToUtf8(PercentDecode(url));
    Requests.push_back(u);
    if (!FailOn.empty() && u.find(FailOn) != std::string::npos) throw EHttpError("连接服务器失败: Connection refused");
    if (u.find("?ver=1.0&") != std::string::npos) return Utf8ToGbk(LoginReply);
    size_t sql = u.find("&tablesql=");
    if (sql == std::string::npos) return "";
    const std::string q = u.substr(sql + 10);
    if (q.find("U.角色,F.ID") != std::string::npos) {
      std::string login = q.substr(q.find("U.登陆名='") + 13);
      login.resize(login.find('\''));
      return Utf8ToGbk("角色,ID,名称,总公司\r\n" + Users.at(login) + "\r\n");
    }
    size_t from = q.find(" From ") + 6;
    const std::string table = q.substr(from, q.find_first_of(" ", from) - from);
    size_t above = q.find("Where ID>");
    if (above != std::string::npos && q.compare(above + 9, 2, "0 ") != 0) return ""; // no second page
    auto t = Tables.find(table);
    return t == Tables.end() ? "" : Utf8ToGbk(t->second);
  }

  std::map<std::string, std::string> Users; // login name -> the row of the store query

  int Count(const std::string& part) const {
    int n = 0;
    for (auto& r : Requests) n += r.find(part) != std::string::npos;
    return n;
  }
  std::string Find(const std::string& part) const {
    for (auto& r : Requests)
      if (r.find(part) != std::string::npos) return r;
    return {};
  }
};

// A small shop: the head office 总店 (1) and the branch store 分店 (2).
void FillShop(TFakeServer& s) {
  s.Users = {{"zhang", "\"|1|\",1,\"总店\",True"}, {"zhao", "\"|2|\",2,\"分店\",False"}};
  s.Tables["门店信息"] = Table(kStoreColumns, {{{"ID", "1"}, {"名称", "\"总店\""}, {"总公司", "True"}},
                                               {{"ID", "2"}, {"名称", "\"分店\""}, {"总公司", "False"}}});
  s.Tables["职员信息"] = Table(
      kStaffColumns,
      {{{"ID", "1"}, {"编号", "\"001\""}, {"登陆名", "\"zhang\""}, {"姓名", "\"张经理\""}, {"分店ID", "1"}, {"角色", "\"|1|\""}, {"停用", "False"}},
       {{"ID", "2"}, {"编号", "\"002\""}, {"登陆名", "\"li\""}, {"姓名", "\"李收银\""}, {"分店ID", "1"}, {"角色", "\"|2|\""}, {"停用", "False"}},
       {{"ID", "4"}, {"编号", "\"004\""}, {"登陆名", "\"zhao\""}, {"姓名", "\"赵分店\""}, {"分店ID", "2"}, {"角色", "\"|2|\""}, {"停用", "False"}}});
  s.Tables["系统信息"] = Table(kSwitchColumns, {{{"店间业务互查", "False"}, {"店间库存互查", "False"}, {"供应商店间共享", "False"}}});
  s.Tables["权限"] = Table(kRightsColumns, {{{"ID", "1"}, {"名称", "\"供应商\""}, {"打开", "True"}, {"角色ID", "1"}, {"显示", "True"}},
                                            {{"ID", "2"}, {"名称", "\"供应商\""}, {"打开", "True"}, {"角色ID", "2"}, {"显示", "False"}}});
  s.Tables["仓库"] = "ID,编号,名称,分店ID\r\n1,\"01\",\"总店仓库\",1\r\n2,\"02\",\"分店仓库\",2\r\n";
  s.Tables["现金银行"] = "ID,帐号,名称\r\n1,\"001\",\"现金\"\r\n";
  s.Tables["商品信息"] = Table(kGoodsColumns, {{{"ID", "1"}, {"名称", "\"联想笔记本\""}, {"零售价", "4999"}}});
}

// The hash of "123456", made once: each hash takes a noticeable fraction of a second.
const std::string& Hash123456() {
  static const std::string h = HashPassword("123456");
  return h;
}

class Login : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    EnsureApplication();
  }

  void SetUp() override {
    ProgramDir = Q(store.Dir.Dir());
    Config = TConfig{};
    Config.LoginPage = "http://127.0.0.1:9/y6/Login.aspx?db=demo&x=1";
    Config.ClientName = "禾岚一店";
    SetServerAddress("http://127.0.0.1:9/y6/webservice/api.aspx?", "demo");
    Session = TSession{};
    SetOnlineSession("");
    auto box = std::make_unique<TScriptedMessageBox>();
    sm = box.get();
    dm = std::make_unique<TDM>(store.Dir.Dir() + "WebC.db", std::move(box));
    DM = dm.get();
    auto fake = std::make_unique<TFakeServer>();
    this->fake = fake.get();
    dm->IHTTP = std::move(fake);
    // The desktop is $HOME/Desktop when the user has no user-dirs.dirs.
    qputenv("HOME", QByteArray::fromStdString(home.Dir()));
    qunsetenv("XDG_CONFIG_HOME");
    std::filesystem::create_directories(home.Path() / "Desktop");
  }
  void TearDown() override {
    dlg.reset();
    DM = nullptr;
    SetOnlineSession("");
  }

  // An initialised store: the shop's stores and staff with zhang's and zhao's passwords
  // recorded; li never logged in online here, wang is disabled.
  void InitialisedStore(bool switches = false) {
    TStore& db = store.Store;
    db.Execute("Insert InTo 门店信息 (ID,名称,总公司) Values (1,'总店',1)");
    db.Execute("Insert InTo 门店信息 (ID,名称,总公司) Values (2,'分店',0)");
    const std::string h = QuotedStr(Hash123456());
    db.Execute("Insert InTo 职员信息 (ID,编号,登陆名,密码,姓名,分店ID,角色,停用) Values (1,'001','zhang'," + h + ",'张经理',1,'|1|',0)");
    db.Execute("Insert InTo 职员信息 (ID,编号,登陆名,密码,姓名,分店ID,角色,停用) Values (2,'002','li','wobrel','李收银',1,'|2|',0)");
    db.Execute("Insert InTo 职员信息 (ID,编号,登陆名,密码,姓名,分店ID,角色,停用) Values (3,'003','wang'," + h + ",'王停用',1,'|2|',1)");
    db.Execute("Insert InTo 职员信息 (ID,编号,登陆名,密码,姓名,分店ID,角色,停用) Values (4,'004','zhao'," + h + ",'赵分店',2,'|2|',0)");
    db.Execute(std::string("Insert InTo 系统信息 (ID,店间业务互查,店间库存互查,供应商店间共享) Values (1,") +
               (switches ? "1,1,1)" : "0,0,0)"));
    db.Close();
  }

  // What the start-up does before the dialog: the staff, account and warehouse lists.
  void Preload() {
    TOperation op(dm->ADOC);
    for (TDataSet* d : {&dm->Q_ZY, &dm->Q_ZH, &dm->Q_CK}) OpenDetached(*d, dm->ADOC);
  }

  TF_Login& Dialog() {
    dlg = std::make_unique<TF_Login>();
    dlg->show();
    return *dlg;
  }

  void Attempt(const std::string& user, const std::string& password) {
    dlg->E_User->setText(Q(user));
    dlg->E_Pass->setText(Q(password));
    dlg->B_Login->click();
  }

  TValue Scalar(const std::string& sql) {
    TValue v = store.Scalar(sql);
    store.Store.Close();
    return v;
  }

  TFreshStore store;
  TTempDir home;
  TScriptedMessageBox* sm = nullptr;
  TFakeServer* fake = nullptr;
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TF_Login> dlg;
};

// --- The form ----------------------------------------------------------------------------------

TEST_F(Login, FormCaptionControlsAndTabOrder) {
  Config.Offline = "是";
  TF_Login& d = Dialog();
  EXPECT_EQ(d.windowTitle(), "禾岚一店登录");
  EXPECT_EQ(d.findChild<QPushButton*>("B_Set")->text(), "设置(&S)");
  EXPECT_EQ(d.findChild<QPushButton*>("B_Login")->text(), "登录(&L)");
  EXPECT_TRUE(d.findChild<QCheckBox*>("C_IsWeb")->isChecked());
  EXPECT_EQ(d.focusWidget(), d.E_Pass);
  std::vector<QWidget*> chain;
  for (QWidget* w = d.E_Pass; chain.size() < 5; w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w);
  EXPECT_EQ(chain, (std::vector<QWidget*>{d.E_Pass, d.E_User, d.B_Set, d.B_Login, d.C_IsWeb}));

  Config.Offline = "yes"; // only 是 is yes
  EXPECT_FALSE(TF_Login().C_IsWeb->isChecked());

  // 设置 shows the settings dialog modally, made for the purpose and gone afterwards.
  QString shownTitle;
  QTimer::singleShot(0, [&] {
    if (QWidget* m = QApplication::activeModalWidget(); m && m->inherits("TF_Set")) {
      shownTitle = m->metaObject()->className();
      static_cast<QDialog*>(m)->reject();
    }
  });
  d.B_Set->click();
  EXPECT_EQ(shownTitle, "TF_Set");
  EXPECT_EQ(d.findChildren<QDialog*>().size(), 0);
}

TEST_F(Login, KeysEnterLogsInEscClosesAndThePasswordDropsWideCharacters) {
  InitialisedStore();
  Preload();
  TF_Login& d = Dialog();
  for (QChar c : QString("12中3¥4５56")) { // typed one by one, as a keyboard or an input method gives them
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(d.E_Pass, &key);
  }
  EXPECT_EQ(d.E_Pass->text(), "123456");
  d.E_User->setText("zhang");
  d.C_IsWeb->setChecked(true);
  QTest::keyClick(d.E_User, Qt::Key_Return);
  EXPECT_TRUE(d.LoginSucceeded());
  EXPECT_EQ(d.result(), QDialog::Accepted);

  TF_Login& e = Dialog();
  QTest::keyClick(e.C_IsWeb, Qt::Key_Escape);
  EXPECT_FALSE(e.isVisible());
  EXPECT_EQ(e.result(), QDialog::Rejected);
}

// --- Local path ----------------------------------------------------------------------------------

TEST_F(Login, LocalRefusalsKeepTheDialogOpenWithTheirMessageAndFocus) {
  InitialisedStore();
  Preload();
  const QString notInitialised = "此用户未初始化。可解压桌面端压缩文件到其他文件夹后登录、初始化。";
  struct Case {
    std::string user, password;
    QString message;
    const char* focus;
  } const cases[] = {
      {"nobody", "123456", "此用户不存在。", "E_User"},
      {"", "", "此用户不存在。", "E_User"},           // not refused up front: looked up like any name
      {"admin", "123456", "此用户不存在。", "E_User"},
      {"wang", "123456", "此用户已停用。", "E_User"},
      {"li", "wobrel", notInitialised, "E_User"},     // the placeholder is not a password
      {"002", "", notInitialised, "E_User"},
      {"zhang", "12345", "您输入的密码不正确。请重新输入。", "E_Pass"},
      {"张经理", "123456 ", "您输入的密码不正确。请重新输入。", "E_Pass"},
  };
  for (const Case& c : cases) {
    TF_Login& d = Dialog();
    // The focus starts where the message will not put it.
    (std::string(c.focus) == "E_User" ? d.E_Pass : d.E_User)->setFocus();
    sm->Shown.clear();
    Attempt(c.user, c.password);
    EXPECT_EQ(sm->Shown, QStringList{"i " + c.message}) << c.user;
    EXPECT_EQ(d.focusWidget()->objectName(), c.focus) << c.user;
    EXPECT_TRUE(d.isVisible()) << c.user;
    EXPECT_FALSE(d.LoginSucceeded()) << c.user;
  }
  EXPECT_TRUE(fake->Requests.empty());
}

TEST_F(Login, LocalUserByNumberLoginNameOrNameLogsInOnlineWithTheLoginName) {
  InitialisedStore();
  Preload();
  for (const char* typed : {"001", "zhang", "张经理"}) {
    fake->Requests.clear();
    TF_Login& d = Dialog();
    Attempt(typed, "123456");
    EXPECT_TRUE(d.LoginSucceeded()) << typed;
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(OnlineSession(), "sid=7&db=demo");
    ASSERT_EQ(fake->Requests.size(), 1u);
    EXPECT_EQ(fake->Requests[0], "http://127.0.0.1:9/y6/webservice/api.aspx?ver=1.0&db=demo&dbName=demo&uid=zhang&pwd=123456");
    EXPECT_EQ(Session.LoginName, "zhang");
    EXPECT_EQ(Session.Password, "123456");
    EXPECT_EQ(Session.UserID, "1");
    EXPECT_EQ(Session.UserName, "张经理");
    EXPECT_EQ(Session.StoreID, "1");
    EXPECT_EQ(Session.StoreName, "总店");
    EXPECT_EQ(Session.Roles, "|1|");
    EXPECT_TRUE(sm->Shown.isEmpty());
  }
}

TEST_F(Login, LocalOnlineStepDecidesTheModeAndTheLoginAlwaysSucceeds) {
  InitialisedStore();
  Preload();
  struct Case {
    const char* name;
    bool offlineBox;
    std::string reply;
    bool fail;
    std::string session;
    QStringList shown;
  } const cases[] = {
      {"offline box", true, "sid=7", false, "", {}},
      {"accepted", false, "sid=7", false, "sid=7", {}},
      {"refused", false, "error:用户名或密码错误,请重新登录", false, "", {"i error:用户名或密码错误,请重新登录"}},
      {"Error is a session", false, "Error-42", false, "Error-42", {}},
      {"server down", false, "", true, "", {"i 连接服务器失败！桌面端进入脱机工作。"}},
  };
  for (const Case& c : cases) {
    SetOnlineSession("stale");
    fake->Requests.clear();
    fake->LoginReply = c.reply;
    fake->FailOn = c.fail ? "ver=1.0" : "";
    sm->Shown.clear();
    TF_Login& d = Dialog();
    d.C_IsWeb->setChecked(c.offlineBox);
    Attempt("zhang", "123456");
    EXPECT_TRUE(d.LoginSucceeded()) << c.name;
    EXPECT_EQ(OnlineSession(), c.session) << c.name;
    EXPECT_EQ(sm->Shown, c.shown) << c.name;
    EXPECT_EQ(fake->Requests.size(), c.offlineBox ? 0u : 1u) << c.name;
  }
}

TEST_F(Login, LocalStoreFiltersFollowHeadOfficeAndSwitches) {
  struct Case {
    const char* user;
    bool switches;
    std::string business, stock, customer;
  } const cases[] = {
      {"zhang", false, "", "", ""}, // head office: never filtered
      {"zhao", false, " and 分店ID=2", " and 分店ID=2", " and 分店ID=2"},
      {"zhao", true, "", "", ""},
  };
  for (const Case& c : cases) {
    TFreshStore fresh;
    store.Store.Close();
    std::filesystem::copy_file(fresh.Dir.Path() / "WebC.db", store.Dir.Path() / "WebC.db",
                               std::filesystem::copy_options::overwrite_existing);
    InitialisedStore(c.switches);
    Preload();
    TF_Login& d = Dialog();
    d.C_IsWeb->setChecked(true);
    Attempt(c.user, "123456");
    ASSERT_TRUE(d.LoginSucceeded()) << c.user;
    EXPECT_EQ(Session.BusinessFilter, c.business) << c.user << c.switches;
    EXPECT_EQ(Session.StockFilter, c.stock) << c.user << c.switches;
    EXPECT_EQ(Session.CustomerFilter, c.customer) << c.user << c.switches;
    EXPECT_EQ(Session.SupplierFilter, "");
  }
}

// --- First-time path -----------------------------------------------------------------------------

TEST_F(Login, FirstTimeRefusalsContactTheServerOnlyForARealUser) {
  FillShop(*fake);
  struct Case {
    const char* name;
    QString page;
    std::string user, reply;
    QStringList shown;
    const char* focus; // nullptr: unchanged (E_Pass)
    size_t requests;
  } const cases[] = {
      {"no address", "", "zhang", "sid", {"i 请设置软件接口地址！"}, nullptr, 0},
      {"empty user", Config.LoginPage, "", "sid", {"i 用户账号必须输入！"}, "E_User", 0},
      {"admin", Config.LoginPage, "admin", "sid", {"i 桌面端目前暂不支持系统管理员登录！"}, "E_User", 0},
      {"refused", Config.LoginPage, "zhang", "error:密码错误", {"i error:密码错误"}, nullptr, 1},
  };
  for (const Case& c : cases) {
    Config.LoginPage = c.page;
    fake->LoginReply = c.reply;
    fake->Requests.clear();
    sm->Shown.clear();
    TF_Login& d = Dialog();
    d.C_IsWeb->setChecked(true); // ignored on a new installation
    Attempt(c.user, "123456");
    EXPECT_EQ(sm->Shown, c.shown) << c.name;
    EXPECT_EQ(d.focusWidget()->objectName(), c.focus ? c.focus : "E_Pass") << c.name;
    EXPECT_EQ(fake->Requests.size(), c.requests) << c.name;
    EXPECT_TRUE(d.isVisible()) << c.name;
    EXPECT_FALSE(d.LoginSucceeded()) << c.name;
    EXPECT_EQ(OnlineSession(), "") << c.name;
  }
}

TEST_F(Login, FirstTimeServerDownShowsTheErrorAndStays) {
  FillShop(*fake);
  fake->FailOn = "ver=1.0";
  TF_Login& d = Dialog();
  Attempt("zhang", "123456");
  EXPECT_EQ(sm->Shown, QStringList{"! 连接服务器失败: Connection refused"});
  EXPECT_TRUE(d.isVisible());
  EXPECT_FALSE(d.LoginSucceeded());
}

TEST_F(Login, FirstTimeInitialisesTheStoreAndRecordsAHashForABranchUser) {
  FillShop(*fake);
  // All staff disabled counts as a new installation; the stale row goes with the clearing,
  // the local bills stay.
  store.Store.Execute("Insert InTo 职员信息 (ID,登陆名,密码,停用) Values (9,'old','x',1)");
  store.Store.Execute("Insert InTo 进销草稿 (单据编号) Values ('SO-141208-本地-001')");
  store.Store.Close();
  Preload();
  ASSERT_TRUE(dm->Q_ZY.IsEmpty());

  TF_Login& d = Dialog();
  d.C_IsWeb->setChecked(true); // ignored
  Attempt("zhao", "123456");
  ASSERT_TRUE(d.LoginSucceeded()) << sm->Shown.join("|").toStdString();
  EXPECT_TRUE(sm->Shown.isEmpty());
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(OnlineSession(), "sid=7&db=demo");

  // The session of a branch-store user whose switches are all off and who may not see suppliers.
  EXPECT_EQ(Session.LoginName, "zhao");
  EXPECT_EQ(Session.UserID, "4");
  EXPECT_EQ(Session.UserName, "赵分店");
  EXPECT_EQ(Session.StoreID, "2");
  EXPECT_EQ(Session.StoreName, "分店");
  EXPECT_EQ(Session.Roles, "|2|");
  EXPECT_EQ(Session.BusinessFilter, " and 分店ID=2");
  EXPECT_EQ(Session.StockFilter, " and 分店ID=2");
  EXPECT_EQ(Session.CustomerFilter, " and (类别<>'供应商' or 分店ID=2)");
  EXPECT_EQ(Session.SupplierFilter, " and 类别<>'供应商'");
  // ...and the filters reach the server's queries.
  EXPECT_NE(fake->Find("From 进销单据 Where DateDiff(d,单据日期,GetDate())<31 and 分店ID=2 Order By ID"), "");
  EXPECT_NE(fake->Find("From 客户信息 Where ID>0 and 停用=0 and (类别<>'供应商' or 分店ID=2) and 类别<>'供应商' Order"), "");
  EXPECT_NE(fake->Find("From 商品库存 Where ID>0 and 库存数量<>0 and 分店ID=2 Order"), "");
  EXPECT_EQ(fake->Count("&isonline=1"), 5);

  // The store: replicas filled, the pseudo warehouse, the stale row gone, the draft kept.
  EXPECT_EQ(AsInt(Scalar("Select Count(*) From 职员信息")), 3);
  EXPECT_EQ(AsInt(Scalar("Select Count(*) From 仓库")), 3);
  EXPECT_EQ(AsText(Scalar("Select 名称 From 仓库 Where ID=0")), "所有仓库");
  EXPECT_EQ(AsInt(Scalar("Select Count(*) From 商品信息")), 1);
  EXPECT_EQ(AsInt(Scalar("Select Count(*) From 进销草稿")), 1);
  EXPECT_EQ(dm->Q_ZY.RecordCount(), 3);
  EXPECT_EQ(dm->Q_CK.RecordCount(), 3);
  EXPECT_EQ(dm->Q_ZH.RecordCount(), 1);

  // A hash, never the password; the others keep the placeholder.
  const std::string stored = AsText(Scalar("Select 密码 From 职员信息 Where 登陆名='zhao'"));
  EXPECT_EQ(stored.find("123456"), std::string::npos);
  EXPECT_TRUE(VerifyPassword(stored, "123456"));
  EXPECT_FALSE(VerifyPassword(stored, "1234567"));
  EXPECT_EQ(AsText(Scalar("Select 密码 From 职员信息 Where 登陆名='li'")), "wobrel");
  EXPECT_EQ(ReadFile(store.Dir.Path() / "WebC.db").find("123456"), std::string::npos);

  // The next start logs in from the store; another user of this client must initialise.
  Session = TSession{};
  TF_Login& next = Dialog();
  next.C_IsWeb->setChecked(true);
  Attempt("李收银", "123456");
  EXPECT_EQ(sm->Shown, QStringList{"i 此用户未初始化。可解压桌面端压缩文件到其他文件夹后登录、初始化。"});
  Attempt("004", "123456");
  EXPECT_TRUE(next.LoginSucceeded());
  EXPECT_EQ(Session.UserName, "赵分店");
}

TEST_F(Login, FirstTimeHeadOfficeUserHasNoFilters) {
  FillShop(*fake);
  Preload();
  TF_Login& d = Dialog();
  Attempt("zhang", "123456");
  ASSERT_TRUE(d.LoginSucceeded()) << sm->Shown.join("|").toStdString();
  EXPECT_EQ(Session.BusinessFilter + Session.StockFilter + Session.CustomerFilter + Session.SupplierFilter, "");
  EXPECT_EQ(Session.UserID, "1");
  EXPECT_NE(fake->Find("From 客户信息 Where ID>0 and 停用=0 Order By ID"), "");
}

// A failure half-way: the progress window goes, the error is shown, the dialog comes back in
// the same modal run, the store is as it was, and the next attempt starts over.
TEST_F(Login, FirstTimeFailureHalfWayShowsTheDialogAgainAndTheNextAttemptStartsOver) {
  FillShop(*fake);
  store.Store.Execute("Insert InTo 现金银行 (ID,帐号,名称) Values (5,'x','旧账户')");
  store.Store.Close();
  Preload();
  fake->FailOn = "From 商品信息";
  dlg = std::make_unique<TF_Login>();
  TF_Login& d = *dlg;
  bool reshown = false, progressGone = false;
  QStringList afterFailure;
  QTimer::singleShot(0, [&] {
    Attempt("zhao", "123456");
    QTimer::singleShot(0, [&] {
      reshown = d.isVisible();
      progressGone = true;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TF_Load*>(w)) progressGone = false;
      afterFailure = sm->Shown;
      EXPECT_EQ(Session.LoginName, "");
      EXPECT_EQ(Session.BusinessFilter, "");
      EXPECT_EQ(OnlineSession(), "");
      EXPECT_EQ(AsInt(Scalar("Select Count(*) From 职员信息")), 0); // rolled back: still a new installation
      EXPECT_EQ(AsText(Scalar("Select 名称 From 现金银行")), "旧账户");
      EXPECT_TRUE(dm->Q_ZY.IsEmpty());
      fake->FailOn.clear();
      fake->Requests.clear();
      Attempt("zhao", "123456");
    });
  });
  QTimer::singleShot(20000, &d, &QDialog::reject); // a guard: the run must not hang
  EXPECT_EQ(d.exec(), QDialog::Accepted);
  EXPECT_TRUE(reshown);
  EXPECT_TRUE(progressGone);
  EXPECT_EQ(afterFailure, QStringList{"! 连接服务器失败: Connection refused"});
  EXPECT_TRUE(d.LoginSucceeded());
  EXPECT_EQ(fake->Count("ver=1.0"), 1); // the second attempt logged in again and went all the way
  EXPECT_EQ(AsInt(Scalar("Select Count(*) From 商品信息")), 1);
  EXPECT_EQ(AsInt(Scalar("Select Count(*) From 现金银行")), 1); // cleared, then downloaded
}

// --- The desktop shortcut ------------------------------------------------------------------------

TEST_F(Login, FirstLoginLeavesADesktopShortcutReplacingAnOldOne) {
  FillShop(*fake);
  Preload();
  const auto file = home.Path() / "Desktop" / "禾岚Y6桌面端.desktop";
  home.Write("Desktop/禾岚Y6桌面端.desktop", "old");
  TF_Login& d = Dialog();
  Attempt("zhang", "123456");
  ASSERT_TRUE(d.LoginSucceeded());
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=禾岚Y6桌面端\nComment=禾岚一店\n"), std::string::npos);
  EXPECT_NE(text.find("Exec=\"" + QCoreApplication::applicationFilePath().toStdString() + "\"\n"), std::string::npos);
  EXPECT_NE(text.find("Path=" + store.Dir.Dir() + "\n"), std::string::npos);
  EXPECT_NE(std::filesystem::status(file).permissions() & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
}

TEST_F(Login, WithoutADesktopDirectoryTheLoginSucceedsWithoutShortcut) {
  FillShop(*fake);
  Preload();
  std::filesystem::remove_all(home.Path() / "Desktop");
  TF_Login& d = Dialog();
  Attempt("zhang", "123456");
  EXPECT_TRUE(d.LoginSucceeded());
  EXPECT_TRUE(sm->Shown.isEmpty());
  EXPECT_FALSE(std::filesystem::exists(home.Path() / "Desktop"));
}

// --- The password hash ----------------------------------------------------------------------------

TEST(Password, SaltedHashesVerifyOnlyTheirPassword) {
  const std::string a = HashPassword("123456"), b = HashPassword("123456");
  EXPECT_NE(a, b); // salted
  EXPECT_TRUE(VerifyPassword(a, "123456"));
  EXPECT_TRUE(VerifyPassword(HashPassword(""), ""));
  for (const std::string& stored : {std::string("wobrel"), std::string(""), std::string("123456"), a.substr(0, 40)})
    EXPECT_FALSE(VerifyPassword(stored, stored == "" ? "" : "123456")) << stored;
  EXPECT_FALSE(VerifyPassword(a, "1234567"));
}

// --- Against y6server ------------------------------------------------------------------------------

#ifdef Y6SERVER

// The dialog of a new installation against a fresh demo shop.
class LoginE2E : public Login {
protected:
  void SetUp() override {
    Login::SetUp();
    shop = std::make_unique<TServerProcess>(Y6SERVER, shopDir.Path());
    dm->IHTTP = std::make_unique<TCurlHttp>();
    Config.LoginPage = Q("http://127.0.0.1:" + std::to_string(shop->Port()) + "/y6/Login.aspx?db=demo&x=1");
    SetServerAddress(shop->BaseURL(), "demo");
  }
  int ShopCount(const std::string& sql) {
    std::string r = shop->Admin("/__admin/query?db=demo&sql=" + UrlEncode(sql));
    return std::stoi(r.substr(r.find('\n') + 1));
  }
  int LocalCount(const std::string& sql) { return static_cast<int>(AsInt(Scalar(sql))); }
  int Logged(const std::string& part) {
    std::string log = shop->Admin("/__admin/log");
    int n = 0;
    for (size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1)) ++n;
    return n;
  }

  TTempDir shopDir;
  std::unique_ptr<TServerProcess> shop;
};

TEST_F(LoginE2E, FirstLoginOfABranchUserBringsItsStoresShareOfTheShop) {
  Preload();
  TF_Login& d = Dialog();
  Attempt("zhao", "123456");
  ASSERT_TRUE(d.LoginSucceeded()) << sm->Shown.join("|").toStdString();
  EXPECT_TRUE(sm->Shown.isEmpty());
  EXPECT_EQ(OnlineSession().rfind("sid=", 0), 0u);
  EXPECT_EQ(Session.UserID, "4");
  EXPECT_EQ(Session.UserName, "赵分店");
  EXPECT_EQ(Session.StoreID, "2");
  EXPECT_EQ(Session.StoreName, "城东分店");
  EXPECT_EQ(Session.Roles, "|3|");
  // The shop lets stores see each other's stock, not their bills nor their suppliers; the
  // role holds no supplier right.
  EXPECT_EQ(Session.BusinessFilter, " and 分店ID=2");
  EXPECT_EQ(Session.StockFilter, "");
  EXPECT_EQ(Session.CustomerFilter, " and (类别<>'供应商' or 分店ID=2)");
  EXPECT_EQ(Session.SupplierFilter, " and 类别<>'供应商'");

  EXPECT_EQ(LocalCount("Select Count(*) From 客户信息"),
            ShopCount("SELECT COUNT(*) FROM 客户信息 WHERE 停用=0 AND 类别<>'供应商'"));
  EXPECT_EQ(LocalCount("Select Count(*) From 客户分类"),
            ShopCount("SELECT COUNT(*) FROM 客户分类 WHERE 类别<>'供应商' OR 分店ID=2"));
  EXPECT_EQ(LocalCount("Select Count(*) From 商品库存"), ShopCount("SELECT COUNT(*) FROM 商品库存 WHERE 库存数量<>0"));
  EXPECT_EQ(LocalCount("Select Count(*) From 商品信息"), ShopCount("SELECT COUNT(*) FROM 商品信息"));
  EXPECT_EQ(LocalCount("Select Count(*) From 仓库"), ShopCount("SELECT COUNT(*) FROM 仓库") + 1);
  const int staff = ShopCount("SELECT COUNT(*) FROM 职员信息");
  EXPECT_EQ(LocalCount("Select Count(*) From 职员信息"), staff);
  EXPECT_EQ(LocalCount("Select Count(*) From 职员信息 Where 密码='wobrel'"), staff - 1);
  EXPECT_TRUE(VerifyPassword(AsText(Scalar("Select 密码 From 职员信息 Where 登陆名='zhao'")), "123456"));
  EXPECT_EQ(dm->Q_ZY.RecordCount(), ShopCount("SELECT COUNT(*) FROM 职员信息 WHERE 停用=0"));
  EXPECT_EQ(Logged("\theartbeat\t"), 5);
}

TEST_F(LoginE2E, HeadOfficeLogsInFirstOnlineThenFromTheStoreWithAndWithoutTheServer) {
  Preload();
  TF_Login& first = Dialog();
  Attempt("zhang", "123456");
  ASSERT_TRUE(first.LoginSucceeded()) << sm->Shown.join("|").toStdString();
  EXPECT_EQ(Session.BusinessFilter + Session.StockFilter + Session.CustomerFilter + Session.SupplierFilter, "");
  EXPECT_EQ(LocalCount("Select Count(*) From 客户信息"), ShopCount("SELECT COUNT(*) FROM 客户信息 WHERE 停用=0"));

  // The next start: from the store, then online with the login name of the row found.
  Session = TSession{};
  TF_Login& second = Dialog();
  Attempt("001", "123456");
  ASSERT_TRUE(second.LoginSucceeded());
  EXPECT_EQ(OnlineSession().rfind("sid=", 0), 0u);
  EXPECT_EQ(Logged("uid=zhang"), 2);
  EXPECT_TRUE(sm->Shown.isEmpty());

  shop->Stop();
  TF_Login& third = Dialog();
  Attempt("张经理", "123456");
  EXPECT_TRUE(third.LoginSucceeded());
  EXPECT_EQ(OnlineSession(), "");
  EXPECT_EQ(sm->Shown, QStringList{"i 连接服务器失败！桌面端进入脱机工作。"});
}

TEST_F(LoginE2E, RefusedAndFailedFirstLoginsLeaveTheStoreNewAndTheNextAttemptWorks) {
  Preload();
  TF_Login& d = Dialog();
  Attempt("zhang", "654321");
  ASSERT_EQ(sm->Shown.size(), 1);
  EXPECT_TRUE(sm->Shown[0].startsWith("i error")) << sm->Shown[0].toStdString();

  // The first heartbeat comes after the switches and the rights are in.
  shop->Admin("/__admin/fault?kind=http500&on=heartbeat");
  sm->Shown.clear();
  Attempt("zhang", "123456");
  EXPECT_EQ(sm->Shown, QStringList{"! 服务器返回错误 HTTP 500"});
  EXPECT_TRUE(d.isVisible());
  EXPECT_FALSE(d.LoginSucceeded());
  EXPECT_EQ(LocalCount("Select Count(*) From 权限"), 0);
  EXPECT_EQ(LocalCount("Select Count(*) From 系统信息"), 0);

  sm->Shown.clear();
  Attempt("zhang", "123456");
  EXPECT_TRUE(d.LoginSucceeded());
  EXPECT_TRUE(sm->Shown.isEmpty());
  EXPECT_GT(LocalCount("Select Count(*) From 权限"), 0);
}

#endif

} // namespace
