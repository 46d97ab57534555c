#include "U_Config.h"

#include "U_Ini.h"

QString ProgramDir;
QString ConfigPath;
TConfig Config;

bool IsYes(const QString& value) { return value == QStringLiteral("是"); }

TConfig ReadConfig(const TIniFile& ini) {
  const TConfig d;
  TConfig c;
  auto text = [&](const char* key, const QString& def) { return ini.ReadString(kConfigSection, QString::fromUtf8(key), def); };
  auto integer = [&](const char* key, int def) { return ini.ReadInteger(kConfigSection, QString::fromUtf8(key), def); };
  c.LoginPage = text("Y6登陆页面地址", d.LoginPage);
  c.SyncMinutes = integer("数据同步间隔分", d.SyncMinutes);
  c.Offline = text("脱机工作", d.Offline);
  c.QQPop = text("QQ弹屏", d.QQPop);
  c.CloudGoods = text("云商品库", d.CloudGoods);
  c.DefaultCustomer = text("默认客户", d.DefaultCustomer);
  c.InvoiceType = text("发票类型", d.InvoiceType);
  c.Account = integer("收款账号", d.Account);
  c.Guide = integer("导购员", d.Guide);
  c.Keeper = integer("出库人", d.Keeper);
  c.GoodsStore = integer("商品仓库", d.GoodsStore);
  c.POSAccount = integer("POS收款账号", d.POSAccount);
  c.DrawerPort = text("钱箱端口", d.DrawerPort);
  c.DrawerCommand = text("钱箱指令", d.DrawerCommand);
  c.AutoPrint = text("收款自动打印", d.AutoPrint);
  c.KeepBillSettings = text("保存单据设置", d.KeepBillSettings);
  c.ClientName = text("桌面端名称", d.ClientName);
  c.UpdateAddress = text("桌面端升级", d.UpdateAddress);
  c.DefaultUser = text("默认登陆用户名", d.DefaultUser);
  if (c.SyncMinutes < 1) c.SyncMinutes = 1;
  return c;
}

TServerAddress DeriveServerAddress(const QString& a) {
  TServerAddress r;
  const int p = a.indexOf(QStringLiteral(".aspx")) + 1; // 1-based, 0 when absent
  if (p - 6 >= 1) r.BaseURL = a.left(p - 6);
  r.BaseURL += QStringLiteral("webservice/api.aspx?");
  const int q = a.indexOf(QStringLiteral("?db=")) + 1;
  const QString b = a.mid(q + 3);
  const int amp = b.indexOf('&');
  if (amp >= 0) r.DBName = b.left(amp);
  return r;
}
