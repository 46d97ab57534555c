#include "U_Startup.h"

#include "U_Config.h"
#include "U_Ini.h"
#include "U_Store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

void ShowSystemError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("系统提示"), text, QMessageBox::Ok);
  box.exec();
}

namespace {

// The staff, account and warehouse lists are read at the start; a store that cannot give
// them cannot be worked with.
void CheckStore(const QString& path) {
  TStore store(path.toStdString());
  TOperation op(store);
  store.Query("Select ID,编号,姓名 From 职员信息 Where 停用=0");
  store.Query("Select ID,帐号,名称 From 现金银行");
  store.Query("Select ID,编号,名称,分店ID From 仓库");
}

} // namespace

int Startup(const QString& programDir, const TSystemBox& box) {
  if (QCoreApplication::instance()) QCoreApplication::setApplicationName(kAppTitle);
  ProgramDir = programDir;
  ConfigPath = ProgramDir + QStringLiteral("Set.ini");
  if (!QFileInfo(ConfigPath).isFile()) {
    box(kNoConfigText);
    return 1;
  }
  Config = ReadConfig(TIniFile(ConfigPath));
  const TServerAddress address = DeriveServerAddress(Config.LoginPage);
  BaseURL = address.BaseURL;
  DBName = address.DBName;

  try {
    CheckStore(ProgramDir + QStringLiteral("WebC.db"));
  } catch (const std::exception&) {
    box(kNoStoreText);
    return 1;
  }
  return 0;
}
