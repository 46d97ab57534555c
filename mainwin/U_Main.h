// The frame window of the client: menu, tool bar, one tab per child window, status bar. It
// gates every command by the user's rights, keeps the windows that must be single single,
// owns the server timer and the online heartbeat, and holds the helpers the child windows
// share (the open-window list, the two form variables, the date text).
#pragma once

#include <QDate>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTimer;
class QToolBar;
class QUrl;
class THeartbeat;
class THttp;
class TF_Main;

// --- Dates -------------------------------------------------------------------------------------

// The program's one date text, 2014/08/02, whatever the system's format: grids, bill headers
// and dates put into local SQL between # marks all use it.
QString DateText(const QDate& date);
// The program's short day names, Sunday first: 日 一 二 三 四 五 六. dayOfWeek as QDate gives it
// (1 Monday ... 7 Sunday).
QString ShortDayName(int dayOfWeek);

// --- The open-window list ----------------------------------------------------------------------
// One text of comma-terminated tags ("POS,", "BillLocal,", "IO,", a bill number and a comma...)
// naming the open windows of which there may be only one. Tags are passed with their comma.

extern QString OpenWindows;
void AddOpenWindow(const QString& tag);
bool HasOpenWindow(const QString& tag); // a plain substring test, as the tags are made for
void RemoveOpenWindow(const QString& tag); // the first occurrence only
// Adds the tag now and removes it when the window is destroyed (a child window closed is
// destroyed), so the window itself need not remember to.
void TagWindow(QWidget* window, const QString& tag);

// The history browser and the stock query are single by their form variable; QPointer clears
// it when the window goes.
extern QPointer<QWidget> F_BillIndex;
extern QPointer<QWidget> F_Stocks;

// --- Rights ------------------------------------------------------------------------------------

inline const QString kNoRightText = QStringLiteral("您没有权限执行此功能。");
// True when the rights list (DM->Q_QX) has a row whose 名称 is exactly name.
bool HasRight(const QString& name);
// HasRight, and the notice kNoRightText when it is missing.
bool CheckRight(const QString& name);

// --- What later windows plug in ----------------------------------------------------------------
// Each creator makes its window (not yet shown) and gives it its own starting state; the
// frame has done the rights check and the exclusion before, holds the local store open
// around the call and closes it after, then makes the window a tab, tags it and shows every
// tab maximised. A window must be deleted when it closes (the tab does that for its widget).
struct TMainHooks {
  // A business editor of the type code ("IO", "SO", ...). The frame sets its caption to
  // caption; the editor sets its labels, datasets, local number and the defaults (the
  // default customer name is TF_Main::DefaultCusName).
  std::function<QWidget*(TF_Main&, const QString& code, const QString& caption)> NewBusiness;
  // The POS window; the frame has reset the sales running totals.
  std::function<QWidget*(TF_Main&)> NewPOS;
  std::function<QWidget*(TF_Main&)> NewBillLocal; // tagged "BillLocal,"
  std::function<QWidget*(TF_Main&)> NewBillIndex; // kept in F_BillIndex
  std::function<QWidget*(TF_Main&)> NewStocks;    // kept in F_Stocks
  std::function<void(TF_Main&)> QQTick;           // each tick of T_GetQQ
  std::function<void(TF_Main&)> ChooseSkin;       // 更改外观
  std::function<void()> Closing; // the program ends: destroy the shared dialogs
};
extern TMainHooks MainHooks;

// --- What the frame asks of the system; tests put their own in -----------------------------------
struct TMainPlatform {
  // Starts program with one command-line text, without waiting; false when it did not start.
  std::function<bool(const QString& program, const QString& commandLine)> Start;
  std::function<bool(const QUrl& url)> OpenUrl;       // browser, document viewer
  std::function<std::unique_ptr<THttp>()> NewHttp;    // a client of its own (heartbeat, update)
  std::function<int(QDialog& dialog)> ExecDialog;     // a modal dialog
  std::function<void()> Quit;                         // ends the program at once
  std::chrono::milliseconds HeartbeatInterval{10000};
};
extern TMainPlatform MainPlatform;
void ResetMainPlatform(); // back to the real system

// --- The frame ---------------------------------------------------------------------------------

inline const QString kConnectCaption = QStringLiteral("连接服务器");
inline const QString kDisconnectCaption = QStringLiteral("断开服务器");
inline const QString kQQOnCaption = QStringLiteral("启用QQ弹屏");
inline const QString kQQOffCaption = QStringLiteral("关闭QQ弹屏");

class TF_Main : public QMainWindow {
  Q_OBJECT
public:
  // Built after the login: the session, the online session and the configuration are set,
  // the data module exists. Deletes itself when it closes.
  explicit TF_Main(QWidget* parent = nullptr);
  ~TF_Main() override;

  QMdiArea* SMDITB; // the child windows, one tab each

  QToolBar* STB;
  QAction *SB_BillLocal, *SB_BillIndex, *SB1, *SB_Pur, *SB_Sales, *SB_POS, *SB2, *SB_Infund, *SB_Payment, *SB3,
      *SB_Stocks, *SB4, *SB_Goods, *SB_Set, *SB_Exit, *SB_Web;
  QLabel* SL_Name;
  QAction* SL_NameItem; // the label's place in the tool bar; hiding it hides the label

  QMenuBar* SMMB;
  QMenu *N_YWLR, *N_CWLR, *N_CZ, *N_XTWH, *N8;
  QAction *N_BDDJ, *N_JYLC, *N1, *N_JHD, *N_JTD, *N2, *N_XSD, *N_POS, *N_XTD, *N6, *N_Put;
  QAction *N_SKD, *N_FKD;
  QAction* N_KC;
  QAction *N_FWQ, *N3, *N_SPLR, *N_SCDJ, *N_QKDJ, *N_XZSJ, *N4, *N_BDSJ, *N_SPKC, *N_KHXX, *N5, *N_QQ, *N_Barcode,
      *N7, *N_Set, *N_Change, *N_Update, *N_Exit;
  QAction *N9, *N10, *N11, *N12;

  QStatusBar* SSB;
  QLabel *SP_Date, *SP_Data, *SP_User, *SP_State;

  QTimer* T_Server; // lookup refresh and Sync.exe, online only
  QTimer* T_GetQQ;  // the QQ screen pop

  // The name of the default customer of Set.ini, empty when no customer has that ID.
  QString DefaultCusName;
  // For the QQ screen pop: the messenger's window class, the last clipboard text and the last
  // foreground window seen.
  QString QQClass;
  QString LastClipboard;
  quintptr LastForeground = 0;

  THeartbeat& Heartbeat() { return *heartbeat_; }

  // --- Handlers ---
  void FormCreate();
  void FormShow(); // the first show opens the POS window
  void SB_BillLocalClick();
  void SB_BillIndexClick();
  void SB_PurClick();
  void SB_SalesClick();
  void SB_POSClick();
  void SB_InfundClick() {}
  void SB_PaymentClick() {}
  void SB_StocksClick();
  void SB_GoodsClick() {}
  void SB_SetClick();
  void SB_ExitClick() { close(); }
  void SB_WebClick();
  void N_JTDClick() {}
  void N_XTDClick() {}
  void N_PutClick() {}
  void N_SPLRClick() {}
  void N_FWQClick();
  void N_SCDJClick();
  void N_QKDJClick();
  void N_XZSJClick();
  void N_BDSJClick();
  void N_SPKCClick();
  void N_KHXXClick();
  void N_QQClick();
  void N_BarcodeClick() {}
  void N_ChangeClick();
  void N_UpdateClick();
  void N10Click();
  void N12Click();
  void T_ServerTimer();
  void T_GetQQTimer();

  // --- Operations of the child windows ---
  // The business editor of type code and caption: brought forward when one is open.
  void OpenBusiness(const QString& code, const QString& caption);
  // Makes window a tab of the frame and, with a tag, puts it in the open-window list until it
  // is destroyed. Returns the tab.
  QMdiSubWindow* AddChild(QWidget* window, const QString& tag = {});
  // The tab whose window carries tag (and caption, when given); nullptr when none.
  QMdiSubWindow* FindChildWindow(const QString& tag, const QString& caption = {}) const;
  void ShowChildrenMaximized();

  // The online or the offline presentation: status text, the online-only items, T_Server
  // and the heartbeat.
  void SetOnlinePresentation(bool online);
  // Ends the program without the exit question (the updater takes over).
  void CloseWithoutQuestion();

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildToolBar();
  void BuildMenu();
  void BuildStatusBar();
  void PrepareData();
  void Shutdown();
  void BringForward(QMdiSubWindow* tab);

  std::unique_ptr<THeartbeat> heartbeat_;
  bool shown_ = false;
  bool ask_ = true; // the exit question
  bool shutDown_ = false;
};

// The program's frame window while it exists.
extern TF_Main* F_Main;
