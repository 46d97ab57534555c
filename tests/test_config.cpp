// Set.ini, the server addresses and the start of the program.
#include "TestSupport.h"
#include "U_Config.h"
#include "U_Gbk.h"
#include "U_Ini.h"
#include "U_PublicApi.h"
#include "U_Schema.h"
#include "U_Startup.h"

#include "U_Application.h"
#include "U_Data.h"

#include <QApplication>
#include <QEvent>
#include <gtest/gtest.h>

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A Set.ini as the settings dialog or a person with a Chinese editor leaves it: GBK, CR LF.
std::string Ini(const std::string& body) { return Utf8ToGbk("; 桌面端配置\r\n[系统配置]\r\n" + body); }

TConfig ReadFrom(const TTempDir& dir, const std::string& body) {
  dir.Write("Set.ini", Ini(body));
  return ReadConfig(TIniFile(Q(dir.Dir() + "Set.ini")));
}

TEST(Config, MissingKeysTakeTheirDefaults) {
  TTempDir dir;
  TConfig c = ReadFrom(dir, "");
  EXPECT_EQ(c.DefaultCustomer, "-1");
  EXPECT_EQ(c.ClientName, "桌面客户端");
  EXPECT_EQ(c.SyncMinutes, 20);
  EXPECT_EQ(c.Account, 0);
  EXPECT_EQ(c.POSAccount, 0);
  EXPECT_TRUE(c.LoginPage.isEmpty());
  EXPECT_TRUE(c.DefaultUser.isEmpty());
}

TEST(Config, EveryKeyIsReadInGbk) {
  TTempDir dir;
  TConfig c = ReadFrom(dir,
                       "Y6登陆页面地址=http://h/y6/Login.aspx?db=shop01&x=1\r\n数据同步间隔分=15\r\n脱机工作=是\r\n"
                       "QQ弹屏=是\r\n云商品库=否\r\n默认客户=12\r\n发票类型=普通发票\r\n收款账号=3\r\n导购员=4\r\n"
                       "出库人=5\r\n商品仓库=6\r\nPOS收款账号=7\r\n钱箱端口=/dev/usb/lp0\r\n钱箱指令=1\r\n"
                       "收款自动打印=是\r\n保存单据设置=是\r\n桌面端名称=禾岚一店\r\n桌面端升级=http://h/Update.rar\r\n"
                       "默认登陆用户名=张三\r\n");
  EXPECT_EQ(c.LoginPage, "http://h/y6/Login.aspx?db=shop01&x=1");
  EXPECT_EQ(c.SyncMinutes, 15);
  EXPECT_TRUE(IsYes(c.Offline));
  EXPECT_TRUE(IsYes(c.QQPop));
  EXPECT_FALSE(IsYes(c.CloudGoods));
  EXPECT_EQ(c.DefaultCustomer, "12");
  EXPECT_EQ(c.InvoiceType, "普通发票");
  EXPECT_EQ((std::vector<int>{c.Account, c.Guide, c.Keeper, c.GoodsStore, c.POSAccount}),
            (std::vector<int>{3, 4, 5, 6, 7}));
  EXPECT_EQ(c.DrawerPort, "/dev/usb/lp0");
  EXPECT_EQ(c.DrawerCommand, "1");
  EXPECT_TRUE(IsYes(c.AutoPrint));
  EXPECT_TRUE(IsYes(c.KeepBillSettings));
  EXPECT_EQ(c.ClientName, "禾岚一店");
  EXPECT_EQ(c.UpdateAddress, "http://h/Update.rar");
  EXPECT_EQ(c.DefaultUser, "张三");
}

TEST(Config, IntervalRule) {
  TTempDir dir;
  const std::pair<const char*, int> cases[] = {
      {"0", 1}, {"-5", 1}, {"abc", 20}, {"", 20}, {"15", 15}, {" 3 ", 3}, {"99999999999", 20}, {"2.5", 20},
  };
  for (auto& [text, minutes] : cases)
    EXPECT_EQ(ReadFrom(dir, std::string("数据同步间隔分=") + text + "\r\n").SyncMinutes, minutes) << text;
}

TEST(Config, OnlyShiIsYes) {
  for (const char* no : {"yes", "1", "Y", "", "否", " 是x", "true"}) EXPECT_FALSE(IsYes(QString::fromUtf8(no))) << no;
  EXPECT_TRUE(IsYes("是"));
}

TEST(Config, ServerAddressFromTheLoginPage) {
  struct Case {
    const char *page, *base, *db;
  } const cases[] = {
      {"http://shop.example/y6/Login.aspx?db=shop01&x=1", "http://shop.example/y6/webservice/api.aspx?", "shop01"},
      {"http://127.0.0.1:8080/Login.aspx?db=demo&x=1", "http://127.0.0.1:8080/webservice/api.aspx?", "demo"},
      {"http://shop.example/y6/Login.aspx?db=shop01", "http://shop.example/y6/webservice/api.aspx?", ""},
      {"", "webservice/api.aspx?", ""},
      {"Login.aspx?db=a&", "webservice/api.aspx?", "a"},
      {"http://shop.example/y6/", "webservice/api.aspx?", ""},
  };
  for (auto& c : cases) {
    TServerAddress a = DeriveServerAddress(QString::fromUtf8(c.page));
    EXPECT_EQ(a.BaseURL, QString::fromUtf8(c.base)) << c.page;
    EXPECT_EQ(a.DBName, QString::fromUtf8(c.db)) << c.page;
  }
}

TEST(IniFile, AWriteChangesOnlyItsOwnLine) {
  TTempDir dir;
  const std::string before = "; 桌面端配置\r\n[其他]\r\n默认客户=99\r\n\r\n[系统配置]\r\n"
                             "; 说明：登陆地址\r\nY6登陆页面地址=http://h/Login.aspx?db=a&x=1\r\n默认客户=5\r\n"
                             "\r\n[末尾]\r\nx=1\r\n";
  dir.Write("Set.ini", Utf8ToGbk(before));
  TIniFile ini(Q(dir.Dir() + "Set.ini"));
  ini.WriteString(kConfigSection, "默认客户", "12");
  ini.WriteInteger(kConfigSection, "收款账号", 3);
  std::string after = dir.Read("Set.ini");
  EXPECT_EQ(GbkToUtf8(after), "; 桌面端配置\r\n[其他]\r\n默认客户=99\r\n\r\n[系统配置]\r\n"
                              "; 说明：登陆地址\r\nY6登陆页面地址=http://h/Login.aspx?db=a&x=1\r\n默认客户=12\r\n"
                              "收款账号=3\r\n\r\n[末尾]\r\nx=1\r\n");
  EXPECT_NE(after, GbkToUtf8(after)); // still GBK, not UTF-8
  TIniFile again(Q(dir.Dir() + "Set.ini"));
  EXPECT_EQ(again.ReadString(kConfigSection, "默认客户", ""), "12");
  EXPECT_EQ(again.ReadString("其他", "默认客户", ""), "99");
}

TEST(IniFile, WritesANewSectionAndAnyCharacter) {
  TTempDir dir;
  TIniFile ini(Q(dir.Dir() + "Set.ini"));
  EXPECT_FALSE(ini.Exists());
  ini.WriteString(kConfigSection, "桌面端名称", "禾岚€店 😀");
  TIniFile again(Q(dir.Dir() + "Set.ini"));
  EXPECT_EQ(again.ReadString(kConfigSection, "桌面端名称", ""), "禾岚€店 😀");
}

TEST(IniFile, DamagedTextNeverStopsTheRead) {
  TTempDir dir;
  dir.Write("Set.ini", Ini("") + Utf8ToGbk("桌面端名称=") + "\xFF\xFE\x81\r\n" + Utf8ToGbk("收款账号=") +
                           "\x81\x30\r\n=no key\r\ngarbage line\r\n" + Utf8ToGbk("默认客户=8"));
  TConfig c = ReadConfig(TIniFile(Q(dir.Dir() + "Set.ini")));
  EXPECT_FALSE(c.ClientName.isEmpty());
  EXPECT_EQ(c.Account, 0);
  EXPECT_EQ(c.DefaultCustomer, "8");
}

// The start, with the system message box replaced by a recorder.
class Start : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new TApplication(argc, argv);
  }
  int Run() {
    return Startup(Q(dir.Dir()), [this](const QString& t) { shown << t; });
  }
  TTempDir dir;
  QStringList shown;
};

TEST_F(Start, WithoutSetIniItEndsWithItsMessage) {
  CreateStore(dir.Dir() + "WebC.db");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(shown, QStringList{kNoConfigText});
}

TEST_F(Start, AStoreThatCannotBeUsedEndsWithItsMessage) {
  dir.Write("Set.ini", Ini("Y6登陆页面地址=http://h/y6/Login.aspx?db=demo&x=1\r\n"));
  const std::function<void()> breakages[] = {
      [] {}, // no WebC.db at all
      [this] { dir.Write("WebC.db", std::string(8192, '\x5a')); },
      [this] { dir.Write("WebC.db", ""); }, // an empty file is an empty database: no tables
      [this] {
        CreateStore(dir.Dir() + "WebC.db");
        TStore s(dir.Dir() + "WebC.db");
        s.Execute("Drop Table 现金银行");
      },
  };
  for (auto& breakIt : breakages) {
    std::filesystem::remove(dir.Path() / "WebC.db");
    breakIt();
    shown.clear();
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(shown, QStringList{kNoStoreText});
  }
}

TEST_F(Start, AGoodStartReadsTheConfigurationAndShowsNothing) {
  dir.Write("Set.ini", Ini("Y6登陆页面地址=http://h/y6/Login.aspx?db=demo&x=1\r\n数据同步间隔分=0\r\n"));
  CreateStore(dir.Dir() + "WebC.db");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(shown.isEmpty());
  EXPECT_EQ(ProgramDir, Q(dir.Dir()));
  EXPECT_EQ(ConfigPath, Q(dir.Dir() + "Set.ini"));
  EXPECT_EQ(ApiBaseURL(), "http://h/y6/webservice/api.aspx?");
  EXPECT_EQ(DatabaseName(), "demo");
  EXPECT_NE(DM->IHTTP, nullptr);
  EXPECT_EQ(Config.SyncMinutes, 1);
  EXPECT_EQ(QCoreApplication::applicationName(), kAppTitle);
}

// A command's error that nothing caught is shown, and the program goes on.
class Throwing : public QObject {
public:
  bool event(QEvent*) override { throw EStoreError("no such table: 仓库"); }
};

TEST_F(Start, AnUncaughtErrorIsShownAndTheProgramGoesOn) {
  dir.Write("Set.ini", Ini(""));
  CreateStore(dir.Dir() + "WebC.db");
  ASSERT_EQ(Run(), 0);
  auto* sm = new TScriptedMessageBox;
  DM->SM.reset(sm);
  Throwing target;
  QEvent e(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&target, &e));
  EXPECT_EQ(sm->Shown, QStringList{"! no such table: 仓库"});
}

} // namespace
