#include "U_Startup.h"

#include "U_Config.h"
#include "U_Curl.h"
#include "U_Ini.h"
#include "U_PublicApi.h"
#include "U_Data.h"
#include "U_Loading.h"
#include "U_Login.h"
#include "U_Main.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>

namespace {

// The staff, account and warehouse lists are kept in memory from the start; a store that
// cannot give them cannot be worked with.
void PreloadLookups(TDM& dm) {
  TOperation op(dm.ADOC);
  dm.ADOC.Open();
  for (TDataSet* d : {&dm.Q_ZY, &dm.Q_ZH, &dm.Q_CK}) d->Open();
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
  SetServerAddress(address.BaseURL.toStdString(), address.DBName.toStdString());

  delete DM; // a start is made once; a second one (tests) begins afresh
  DM = new TDM((ProgramDir + QStringLiteral("WebC.db")).toStdString());
  DM->IHTTP = std::make_unique<TCurlHttp>();
  try {
    PreloadLookups(*DM);
  } catch (const std::exception&) {
    box(kNoStoreText);
    return 1;
  }
  return 0;
}

int RunProgram() {
  bool loggedIn;
  {
    TF_Login login;
    login.E_User->setText(Config.DefaultUser);
    login.exec();
    loggedIn = login.LoginSucceeded();
  }
  if (!loggedIn) return 0;

  auto* main = new TF_Main;
  main->setAttribute(Qt::WA_DeleteOnClose);
  F_Loading = new TF_Loading; // the main window deletes it when it closes
  main->showMaximized();
  return QApplication::exec();
}
