// The program's configuration: the keys of Set.ini, the program directory and the server
// addresses derived from the login page. Read once at start-up; afterwards changed only by
// the settings dialog and, for the default customer, by the customer picker.
#pragma once

#include <QString>

class TIniFile;

inline const QString kConfigSection = QStringLiteral("系统配置");

// The keys of section 系统配置, in the order they are read. Yes/no keys hold "是" or "否".
struct TConfig {
  QString LoginPage;                            // Y6登陆页面地址
  int SyncMinutes = 20;                         // 数据同步间隔分
  QString Offline;                              // 脱机工作
  QString QQPop;                                // QQ弹屏
  QString CloudGoods;                           // 云商品库
  QString DefaultCustomer = QStringLiteral("-1"); // 默认客户 ("-1": none)
  QString InvoiceType;                          // 发票类型
  int Account = 0;                              // 收款账号
  int Guide = 0;                                // 导购员
  int Keeper = 0;                               // 出库人
  int GoodsStore = 0;                           // 商品仓库
  int POSAccount = 0;                           // POS收款账号
  QString DrawerPort;                           // 钱箱端口
  QString DrawerCommand;                        // 钱箱指令
  QString AutoPrint;                            // 收款自动打印
  QString KeepBillSettings;                     // 保存单据设置
  QString ClientName = QStringLiteral("桌面客户端"); // 桌面端名称
  QString UpdateAddress;                        // 桌面端升级
  QString DefaultUser;                          // 默认登陆用户名
};

// Only "是" is yes.
bool IsYes(const QString& value);

// Every key with its default when missing; a damaged integer reads as its default. The
// synchronisation interval is raised to 1 when below 1.
TConfig ReadConfig(const TIniFile& ini);

// API base URL and database name from the login page address: the page is taken to have a
// five-character name before ".aspx" (Login.aspx), and the database name is the value of
// "?db=" up to the next "&".
struct TServerAddress {
  QString BaseURL;
  QString DBName;
};
TServerAddress DeriveServerAddress(const QString& loginPage);

// Process-wide values, set by start-up.
extern QString ProgramDir; // directory of the executable, with a trailing separator
extern QString ConfigPath; // ProgramDir + "Set.ini"
extern TConfig Config;
// The API base URL and the database name live with the server link (SetServerAddress).
