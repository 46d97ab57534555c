#include "U_Main.h"

#include "U_Config.h"
#include "U_Curl.h"
#include "U_Data.h"
#include "U_Heartbeat.h"
#include "U_Loading.h"
#include "U_PublicApi.h"
#include "U_Set.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

// --- Dates -------------------------------------------------------------------------------------

QString DateText(const QDate& date) { return date.toString(QStringLiteral("yyyy/MM/dd")); }

QString ShortDayName(int dayOfWeek) {
  static const QString names[] = {QStringLiteral("日"), QStringLiteral("一"), QStringLiteral("二"),
                                  QStringLiteral("三"), QStringLiteral("四"), QStringLiteral("五"),
                                  QStringLiteral("六")};
  return dayOfWeek >= 1 && dayOfWeek <= 7 ? names[dayOfWeek % 7] : QString();
}

// --- The open-window list ----------------------------------------------------------------------

QString OpenWindows;
QPointer<QWidget> F_BillIndex;
QPointer<QWidget> F_Stocks;

void AddOpenWindow(const QString& tag) { OpenWindows += tag; }

bool HasOpenWindow(const QString& tag) { return OpenWindows.contains(tag); }

void RemoveOpenWindow(const QString& tag) {
  const qsizetype at = OpenWindows.indexOf(tag);
  if (at >= 0) OpenWindows.remove(at, tag.size());
}

namespace {
const char* const kTagProperty = "openWindowTag";
}

void TagWindow(QWidget* window, const QString& tag) {
  AddOpenWindow(tag);
  window->setProperty(kTagProperty, tag);
  QObject::connect(window, &QObject::destroyed, [tag] { RemoveOpenWindow(tag); });
}

// --- Rights ------------------------------------------------------------------------------------

bool HasRight(const QString& name) {
  TDataSet& q = DM->Q_QX;
  return q.Active() && q.Locate("名称", name.toStdString());
}

bool CheckRight(const QString& name) {
  if (HasRight(name)) return true;
  DM->SM->Notice(kNoRightText);
  return false;
}

// --- Hooks and the platform --------------------------------------------------------------------

TMainHooks MainHooks;
TMainPlatform MainPlatform;
TF_Main* F_Main = nullptr;

void ResetMainPlatform() {
  MainPlatform.Start = [](const QString& program, const QString& commandLine) {
    return QProcess::startDetached(program, QProcess::splitCommand(commandLine));
  };
  MainPlatform.OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  MainPlatform.NewHttp = [] { return std::unique_ptr<THttp>(std::make_unique<TCurlHttp>()); };
  MainPlatform.ExecDialog = [](QDialog& d) { return d.exec(); };
  MainPlatform.Quit = [] { QCoreApplication::exit(0); };
  MainPlatform.HeartbeatInterval = std::chrono::milliseconds(10000);
}

namespace {
struct TPlatformInit {
  TPlatformInit() { ResetMainPlatform(); }
} platformInit;

void Notice(const QString& text) { DM->SM->Notice(text); }
} // namespace

// --- The frame ---------------------------------------------------------------------------------

TF_Main::TF_Main(QWidget* parent) : QMainWindow(parent) {
  setObjectName("TF_Main");
  setAttribute(Qt::WA_DeleteOnClose);
  F_Main = this;

  SMDITB = new QMdiArea(this);
  SMDITB->setObjectName("SMDITB");
  SMDITB->setViewMode(QMdiArea::TabbedView);
  SMDITB->setTabsClosable(true);
  SMDITB->setTabsMovable(true);
  SMDITB->setDocumentMode(true);
  SMDITB->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 100px; }"));
  setCentralWidget(SMDITB);

  T_Server = new QTimer(this);
  T_Server->setObjectName("T_Server");
  connect(T_Server, &QTimer::timeout, this, &TF_Main::T_ServerTimer);
  T_GetQQ = new QTimer(this);
  T_GetQQ->setObjectName("T_GetQQ");
  T_GetQQ->setInterval(4000);
  connect(T_GetQQ, &QTimer::timeout, this, &TF_Main::T_GetQQTimer);

  BuildToolBar();
  BuildMenu();
  BuildStatusBar();
  setMinimumSize(800, 540);
  FormCreate();
}

TF_Main::~TF_Main() {
  heartbeat_.reset();
  if (F_Main == this) F_Main = nullptr;
}

void TF_Main::BuildToolBar() {
  STB = addToolBar(QString());
  STB->setObjectName("STB");
  STB->setMovable(false);
  STB->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  auto button = [this](const char* name, const QString& caption, QStyle::StandardPixmap icon, auto handler) {
    QAction* a = STB->addAction(style()->standardIcon(icon), caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  auto divider = [this](const char* name) {
    QAction* a = STB->addSeparator();
    a->setObjectName(name);
    return a;
  };
  SB_BillLocal = button("SB_BillLocal", "本地单据", QStyle::SP_DirOpenIcon, &TF_Main::SB_BillLocalClick);
  SB_BillIndex = button("SB_BillIndex", "经营历程", QStyle::SP_FileDialogDetailedView, &TF_Main::SB_BillIndexClick);
  SB1 = divider("SB1");
  SB_Pur = button("SB_Pur", "进货单", QStyle::SP_ArrowDown, &TF_Main::SB_PurClick);
  SB_Sales = button("SB_Sales", "销售单", QStyle::SP_ArrowUp, &TF_Main::SB_SalesClick);
  SB_POS = button("SB_POS", "POS销售", QStyle::SP_ComputerIcon, &TF_Main::SB_POSClick);
  SB2 = divider("SB2");
  SB_Infund = button("SB_Infund", "收款单", QStyle::SP_ArrowLeft, &TF_Main::SB_InfundClick);
  SB_Payment = button("SB_Payment", "付款单", QStyle::SP_ArrowRight, &TF_Main::SB_PaymentClick);
  SB3 = divider("SB3");
  SB_Stocks = button("SB_Stocks", "库存查询", QStyle::SP_FileDialogContentsView, &TF_Main::SB_StocksClick);
  SB4 = divider("SB4");
  SB_Goods = button("SB_Goods", "商品录入", QStyle::SP_FileIcon, &TF_Main::SB_GoodsClick);
  SB_Set = button("SB_Set", "系统设置", QStyle::SP_FileDialogInfoView, &TF_Main::SB_SetClick);
  SB_Exit = button("SB_Exit", "退出系统", QStyle::SP_DialogCloseButton, &TF_Main::SB_ExitClick);
  SB_Web = button("SB_Web", "Y6", QStyle::SP_DriveNetIcon, &TF_Main::SB_WebClick);
  SL_Name = new QLabel(STB);
  SL_Name->setObjectName("SL_Name");
  SL_NameItem = STB->addWidget(SL_Name);

  SB_Infund->setEnabled(false);
  SB_Payment->setEnabled(false);
  SB_Goods->setVisible(false);
  SB_Goods->setEnabled(false);
  SB_Web->setVisible(false);
  SL_NameItem->setVisible(false);
}

void TF_Main::BuildMenu() {
  SMMB = menuBar();
  SMMB->setObjectName("SMMB");
  auto menu = [this](const char* name, const QString& title) {
    QMenu* m = SMMB->addMenu(title);
    m->setObjectName(name);
    m->menuAction()->setObjectName(QString::fromLatin1(name) + "_Title");
    return m;
  };
  auto item = [this](QMenu* m, const char* name, const QString& caption, auto handler) {
    QAction* a = m->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  auto line = [](QMenu* m, const char* name) {
    QAction* a = m->addSeparator();
    a->setObjectName(name);
    return a;
  };

  N_YWLR = menu("N_YWLR", "业务录入");
  // The title carries the purchase command too; a Qt menu title opens its drop-down on a
  // click and does not trigger, so this runs only when the title is triggered from code.
  connect(N_YWLR->menuAction(), &QAction::triggered, this, &TF_Main::SB_PurClick);
  N_BDDJ = item(N_YWLR, "N_BDDJ", "本地单据", &TF_Main::SB_BillLocalClick);
  N_JYLC = item(N_YWLR, "N_JYLC", "经营历程", &TF_Main::SB_BillIndexClick);
  N1 = line(N_YWLR, "N1");
  N_JHD = item(N_YWLR, "N_JHD", "进货单", &TF_Main::SB_PurClick);
  N_JTD = item(N_YWLR, "N_JTD", "进货退货单", &TF_Main::N_JTDClick);
  N2 = line(N_YWLR, "N2");
  N_XSD = item(N_YWLR, "N_XSD", "销售单", &TF_Main::SB_SalesClick);
  N_POS = item(N_YWLR, "N_POS", "POS销售单", &TF_Main::SB_POSClick);
  N_XTD = item(N_YWLR, "N_XTD", "销售退货单", &TF_Main::N_XTDClick);
  N6 = line(N_YWLR, "N6");
  N_Put = item(N_YWLR, "N_Put", "摆货单", &TF_Main::N_PutClick);

  N_CWLR = menu("N_CWLR", "财务录入");
  N_SKD = item(N_CWLR, "N_SKD", "收款单", &TF_Main::SB_InfundClick);
  N_FKD = item(N_CWLR, "N_FKD", "付款单", &TF_Main::SB_PaymentClick);

  N_CZ = menu("N_CZ", "查账");
  N_KC = item(N_CZ, "N_KC", "库存查询", &TF_Main::SB_StocksClick);

  N_XTWH = menu("N_XTWH", "系统维护");
  N_FWQ = item(N_XTWH, "N_FWQ", kConnectCaption, &TF_Main::N_FWQClick);
  N3 = line(N_XTWH, "N3");
  N_SPLR = item(N_XTWH, "N_SPLR", "在线录入商品", &TF_Main::N_SPLRClick);
  N_SCDJ = item(N_XTWH, "N_SCDJ", "上传本地单据", &TF_Main::N_SCDJClick);
  N_QKDJ = item(N_XTWH, "N_QKDJ", "清空本地单据", &TF_Main::N_QKDJClick);
  N_XZSJ = item(N_XTWH, "N_XZSJ", "下载增量数据", &TF_Main::N_XZSJClick);
  N4 = line(N_XTWH, "N4");
  N_BDSJ = item(N_XTWH, "N_BDSJ", "初始化本地数据", &TF_Main::N_BDSJClick);
  N_SPKC = item(N_XTWH, "N_SPKC", "同步商品库存", &TF_Main::N_SPKCClick);
  N_KHXX = item(N_XTWH, "N_KHXX", "同步客户信息", &TF_Main::N_KHXXClick);
  N5 = line(N_XTWH, "N5");
  N_QQ = item(N_XTWH, "N_QQ", kQQOnCaption, &TF_Main::N_QQClick);
  N_Barcode = item(N_XTWH, "N_Barcode", "启用云商品库", &TF_Main::N_BarcodeClick);
  N7 = line(N_XTWH, "N7");
  N_Set = item(N_XTWH, "N_Set", "系统设置", &TF_Main::SB_SetClick);
  N_Change = item(N_XTWH, "N_Change", "更改外观", &TF_Main::N_ChangeClick);
  N_Update = item(N_XTWH, "N_Update", "软件升级", &TF_Main::N_UpdateClick);
  N_Exit = item(N_XTWH, "N_Exit", "退出系统", &TF_Main::SB_ExitClick);

  N8 = menu("N8", "禾岚.Y6");
  N9 = item(N8, "N9", "在线打开软件", &TF_Main::SB_WebClick);
  N10 = item(N8, "N10", "新一代管理利器", &TF_Main::N10Click);
  N11 = line(N8, "N11");
  N12 = item(N8, "N12", "桌面端帮助", &TF_Main::N12Click);

  N_JTD->setEnabled(false);
  N_XTD->setEnabled(false);
  N_Put->setVisible(false);
  N_SKD->setEnabled(false);
  N_FKD->setEnabled(false);
  N_SPLR->setVisible(false);
  N_Barcode->setVisible(false);
  for (QAction* a : {N_SPLR, N_SCDJ, N_XZSJ, N_BDSJ, N_SPKC, N_KHXX}) a->setEnabled(false);
}

void TF_Main::BuildStatusBar() {
  SSB = statusBar();
  SSB->setObjectName("SSB");
  auto panel = [this](const char* name, int width) {
    auto* l = new QLabel(SSB);
    l->setObjectName(name);
    l->setFixedWidth(width);
    SSB->addWidget(l);
    return l;
  };
  SP_Date = panel("SP_Date", 240);
  SP_Data = panel("SP_Data", 120);
  SP_User = panel("SP_User", 160);
  SP_State = panel("SP_State", 120);
  SP_State->setText(QStringLiteral(" 脱机状态"));
}

void TF_Main::FormCreate() {
  // 1. The messenger's chat windows; place and size.
  QQClass = QStringLiteral("TXGuiFoundationQQ");
  QQClass.chop(2);
  if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());

  // 2. Caption.
  setWindowTitle(Config.ClientName + QStringLiteral(" (20140802)"));
  SL_Name->setText(Config.ClientName);

  // 3. Status panels. The weekday is the locale's own: the program's short names are for
  // the dates it writes, not for this greeting.
  const QDate today = QDate::currentDate();
  SP_Date->setText(QStringLiteral(" 当前日期: ") + today.toString(QStringLiteral("yyyy年MM月dd日")) + ' ' +
                   QLocale().dayName(today.dayOfWeek(), QLocale::ShortFormat));
  SP_Data->setText(QStringLiteral(" 当前账套: ") + QString::fromStdString(DatabaseName()));
  SP_User->setText(QStringLiteral(" 当前用户: ") + QString::fromStdString(Session.UserName));

  // 4. Dates are written by DateText from here on; no child window is open yet.
  OpenWindows.clear();

  // 5. The sync interval.
  T_Server->setInterval(std::max(1, Config.SyncMinutes) * 60000);

  // 6. Online or offline; the heartbeat of step 11 follows the decision.
  const bool online = IsOnline();
  if (online) SetOnlinePresentation(true);

  // 7. The QQ screen pop and the cloud goods caption start as Set.ini says, "是" exactly.
  if (IsYes(Config.QQPop)) {
    T_GetQQ->start();
    N_QQ->setText(kQQOffCaption);
  }
  if (IsYes(Config.CloudGoods)) N_Barcode->setText(QStringLiteral("关闭云商品库"));

  // 8.-9. The datasets, then the store closed.
  PrepareData();

  // 10. The default customer's name.
  DefaultCusName.clear();
  bool numeric = false;
  const qint64 id = Config.DefaultCustomer.trimmed().toLongLong(&numeric);
  if (numeric && DM->Q_KH.Active() && DM->Q_KH.Locate("ID", TValue(std::int64_t(id))))
    DefaultCusName = QString::fromStdString(DM->Q_KH.AsString("名称"));

  // 11. The heartbeat, running or waiting for a connect.
  heartbeat_ = std::make_unique<THeartbeat>(MainPlatform.NewHttp(), MainPlatform.HeartbeatInterval, online);
}

void TF_Main::PrepareData() {
  TStore& db = DM->ADOC;
  TOperation op(db);
  for (TLineDataSet* d : DM->LineDataSets()) ReloadDetached(*d, db);
  DM->Q_QX.SetParam(":RID", Session.Roles);
  ReloadDetached(DM->Q_QX, db);
  ReloadDetached(DM->Q_KH, db);
  // Warehouses of this store and the pseudo warehouse 所有仓库; the list stays loaded.
  DM->Q_CK.SetFilter("分店ID=" + Session.StoreID + " or ID=0");
  DM->Q_CK.SetFiltered(true);
  DM->Q_KCSP.SetParam(":FID", Session.StoreID);
  ReloadDetached(DM->Q_KCSP, db);
  ReloadDetached(DM->Q_QQ, db);
  ReloadDetached(DM->Q_KHJL, db);
}

void TF_Main::SetOnlinePresentation(bool online) {
  SP_State->setText(online ? QStringLiteral(" 在线状态") : QStringLiteral(" 脱机状态"));
  SL_NameItem->setVisible(online);
  N_FWQ->setText(online ? kDisconnectCaption : kConnectCaption);
  for (QAction* a : {SB_Goods, N_SPLR, N_SCDJ, N_XZSJ, N_BDSJ, N_SPKC, N_KHXX}) a->setEnabled(online);
  if (online) T_Server->start();
  else T_Server->stop();
  if (heartbeat_) {
    if (online) heartbeat_->Resume();
    else heartbeat_->Suspend();
  }
}

void TF_Main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TF_Main::FormShow() { SB_POSClick(); }

// --- Child windows -----------------------------------------------------------------------------

QMdiSubWindow* TF_Main::AddChild(QWidget* window, const QString& tag) {
  window->setAttribute(Qt::WA_DeleteOnClose);
  if (!tag.isEmpty()) TagWindow(window, tag);
  QMdiSubWindow* tab = SMDITB->addSubWindow(window);
  tab->setAttribute(Qt::WA_DeleteOnClose);
  return tab;
}

QMdiSubWindow* TF_Main::FindChildWindow(const QString& tag, const QString& caption) const {
  for (QMdiSubWindow* tab : SMDITB->subWindowList()) {
    QWidget* w = tab->widget();
    if (w && w->property(kTagProperty).toString() == tag && (caption.isEmpty() || w->windowTitle() == caption))
      return tab;
  }
  return nullptr;
}

void TF_Main::ShowChildrenMaximized() {
  for (QMdiSubWindow* tab : SMDITB->subWindowList()) tab->showMaximized();
}

void TF_Main::BringForward(QMdiSubWindow* tab) {
  if (!tab) return;
  tab->showMaximized();
  SMDITB->setActiveSubWindow(tab);
}

void TF_Main::OpenBusiness(const QString& code, const QString& caption) {
  const QString tag = code + ',';
  if (HasOpenWindow(tag)) {
    BringForward(FindChildWindow(tag, caption));
    return;
  }
  if (!MainHooks.NewBusiness) return;
  QWidget* editor;
  {
    TOperation op(DM->ADOC);
    DM->ADOC.Open();
    editor = MainHooks.NewBusiness(*this, code, caption);
  }
  if (!editor) return;
  editor->setWindowTitle(caption);
  AddChild(editor, tag);
  ShowChildrenMaximized();
  SMDITB->setActiveSubWindow(FindChildWindow(tag, caption));
}

void TF_Main::SB_PurClick() {
  if (!CheckRight(QStringLiteral("进货单"))) return;
  OpenBusiness(QStringLiteral("IO"), QStringLiteral("进货单"));
}

void TF_Main::SB_SalesClick() {
  if (!CheckRight(QStringLiteral("销售单"))) return;
  // The sales editor and the POS window share the sales lines and their totals.
  if (HasOpenWindow(QStringLiteral("POS,"))) {
    Notice(QStringLiteral("请先退出POS销售单。"));
    return;
  }
  OpenBusiness(QStringLiteral("SO"), QStringLiteral("销售单"));
}

void TF_Main::SB_POSClick() {
  if (!CheckRight(QStringLiteral("销售单"))) return;
  if (HasOpenWindow(QStringLiteral("SO,"))) {
    Notice(QStringLiteral("请先退出销售单。"));
    return;
  }
  const QString tag = QStringLiteral("POS,");
  if (HasOpenWindow(tag)) {
    BringForward(FindChildWindow(tag));
    return;
  }
  if (!MainHooks.NewPOS) return;
  QWidget* pos;
  {
    TOperation op(DM->ADOC);
    DM->ADOC.Open();
    DM->Q_XSD.ResetTotals();
    pos = MainHooks.NewPOS(*this);
  }
  if (!pos) return;
  AddChild(pos, tag);
  ShowChildrenMaximized();
  SMDITB->setActiveSubWindow(FindChildWindow(tag));
}

void TF_Main::SB_BillLocalClick() {
  const QString tag = QStringLiteral("BillLocal,");
  if (HasOpenWindow(tag)) {
    BringForward(FindChildWindow(tag));
    return;
  }
  if (!MainHooks.NewBillLocal) return;
  QWidget* w;
  {
    TOperation op(DM->ADOC);
    DM->ADOC.Open();
    w = MainHooks.NewBillLocal(*this);
  }
  if (!w) return;
  AddChild(w, tag);
  ShowChildrenMaximized();
}

namespace {
// Opens the window kept in a form variable, or brings the open one forward.
template <class Make> void OpenSingle(TF_Main& f, QPointer<QWidget>& variable, const Make& make) {
  if (variable) {
    for (QMdiSubWindow* tab : f.SMDITB->subWindowList())
      if (tab->widget() == variable) {
        tab->showMaximized();
        f.SMDITB->setActiveSubWindow(tab);
      }
    return;
  }
  if (!make) return;
  QWidget* w;
  {
    TOperation op(DM->ADOC);
    DM->ADOC.Open();
    w = make(f);
  }
  if (!w) return;
  variable = w;
  f.AddChild(w);
  f.ShowChildrenMaximized();
}
} // namespace

void TF_Main::SB_BillIndexClick() { OpenSingle(*this, F_BillIndex, MainHooks.NewBillIndex); }

void TF_Main::SB_StocksClick() {
  if (!CheckRight(QStringLiteral("库存查询"))) return;
  OpenSingle(*this, F_Stocks, MainHooks.NewStocks);
}

void TF_Main::SB_SetClick() {
  TF_Set f(this);
  MainPlatform.ExecDialog(f);
}

void TF_Main::N_QQClick() {
  if (N_QQ->text() == kQQOnCaption) {
    T_GetQQ->start();
    N_QQ->setText(kQQOffCaption);
  } else {
    T_GetQQ->stop();
    N_QQ->setText(kQQOnCaption);
  }
}

void TF_Main::T_GetQQTimer() {
  if (MainHooks.QQTick) MainHooks.QQTick(*this);
}

void TF_Main::N_ChangeClick() {
  // Qt on Linux draws with the desktop's own style and has no skin packs to choose from:
  // the command says so, until a chooser is plugged in.
  if (MainHooks.ChooseSkin) MainHooks.ChooseSkin(*this);
  else Notice(QStringLiteral("本系统只有一种外观。"));
}

// --- Closing -----------------------------------------------------------------------------------

void TF_Main::closeEvent(QCloseEvent* event) {
  if (ask_ && !DM->SM->Question(QStringLiteral("是否要退出系统？"))) {
    event->ignore();
    return;
  }
  Shutdown();
  event->accept();
}

void TF_Main::CloseWithoutQuestion() {
  ask_ = false;
  close();
}

void TF_Main::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  T_Server->stop();
  T_GetQQ->stop();
  if (heartbeat_) heartbeat_->Stop();
  for (TLineDataSet* d : DM->LineDataSets()) d->Close();
  for (TDataSet* d : {&DM->Q_QX, &DM->Q_KH, &DM->Q_ZY, &DM->Q_ZH, &DM->Q_CK, &DM->Q_KCSP, &DM->Q_QQ, &DM->Q_KHJL,
                      &DM->Q_Master, &DM->Q_Detail, &DM->ADOQ})
    d->Close();
  DM->ADOC.Close();
  delete F_Loading; // forgets itself
  if (MainHooks.Closing) MainHooks.Closing();
}
