#include "U_Login.h"

#include "U_Config.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_Load.h"
#include "U_Password.h"
#include "U_PublicSync.h"
#include "U_Set.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QValidator>
#include <QVBoxLayout>

#include <stdexcept>

const QString kShortcutFile = QStringLiteral("禾岚Y6桌面端.desktop");

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Characters from U+00A0 on never reach the password: whatever the keyboard or the input
// method makes of them, what is typed must be what the server compares.
class TPasswordChars : public QValidator {
public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    for (int i = input.size() - 1; i >= 0; --i)
      if (input[i].unicode() >= 0xA0) {
        input.remove(i, 1);
        if (i < pos) --pos;
      }
    return Acceptable;
  }
};

// The fields of one reply line: values separated by commas, text between double quotes
// (doubled inside).
std::vector<std::string> SplitLine(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c != '"') fields.back() += c;
      else if (i + 1 < line.size() && line[i + 1] == '"') fields.back() += line[++i];
      else quoted = false;
    } else if (c == '"') quoted = true;
    else if (c == ',') fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}

// The first data row of a reply table; empty when the reply holds none.
std::string FirstRow(const std::string& reply) {
  size_t end = reply.find_first_of("\r\n");
  if (end == std::string::npos) return {};
  size_t begin = reply.find_first_not_of("\r\n", end);
  if (begin == std::string::npos) return {};
  return reply.substr(begin, reply.find_first_of("\r\n", begin) - begin);
}

// A switch of the store's 系统信息 row; a missing row or an empty value is off.
bool SwitchOn(const char* name) {
  TDataSet& xt = DM->Q_XT;
  return xt.Active() && !xt.IsEmpty() && xt.AsInteger(name) != 0;
}

// The role list in the "|id|" form the rights query matches (and the local staff row keeps).
std::string MarkedRoles(const std::string& roles) {
  return roles.find('|') == std::string::npos ? "|" + roles + "|" : roles;
}

// A text for a desktop entry value: backslashes and line breaks escaped.
QString EntryText(const QString& s) {
  QString out;
  for (QChar c : s) {
    if (c == '\\') out += QStringLiteral("\\\\");
    else if (c == '\n') out += QStringLiteral("\\n");
    else if (c == '\r') out += QStringLiteral("\\r");
    else out += c;
  }
  return out;
}

// The program as the Exec key wants it: quoted, with the characters that are special inside
// the quotes escaped, then escaped once more as a value; "%" would start a field code.
QString ExecValue(const QString& program) {
  QString quoted = QStringLiteral("\"");
  for (QChar c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EntryText(quoted);
}

} // namespace

// --- The dialog --------------------------------------------------------------------------------

TF_Login::TF_Login(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("TF_Login");
  setWindowTitle(Config.ClientName + QStringLiteral("登录"));
  auto* form = new QVBoxLayout(this);
  auto* fields = new QGridLayout;

  L_Pass = new QLabel(QStringLiteral("密码(&P):"), this);
  L_Pass->setObjectName("L_Pass");
  E_Pass = new QLineEdit(this);
  E_Pass->setObjectName("E_Pass");
  E_Pass->setEchoMode(QLineEdit::Password);
  E_Pass->setValidator(new TPasswordChars(E_Pass));
  L_Pass->setBuddy(E_Pass);

  L_User = new QLabel(QStringLiteral("用户(&U):"), this);
  L_User->setObjectName("L_User");
  E_User = new QLineEdit(this);
  E_User->setObjectName("E_User");
  L_User->setBuddy(E_User);

  SP_Bottom = new QWidget(this);
  SP_Bottom->setObjectName("SP_Bottom");
  auto* bottom = new QHBoxLayout(SP_Bottom);
  B_Set = new QPushButton(QStringLiteral("设置(&S)"), SP_Bottom);
  B_Set->setObjectName("B_Set");
  B_Login = new QPushButton(QStringLiteral("登录(&L)"), SP_Bottom);
  B_Login->setObjectName("B_Login");

  C_IsWeb = new QCheckBox(QStringLiteral("脱机工作"), this);
  C_IsWeb->setObjectName("C_IsWeb");
  C_IsWeb->setChecked(IsYes(Config.Offline));

  I_Y6 = new QLabel(QStringLiteral("禾岚 Y6"), this);
  I_Y6->setObjectName("I_Y6");
  I_Y6->setAlignment(Qt::AlignCenter);
  I_Y6->setMinimumHeight(64);
  I_Y6->setStyleSheet(QStringLiteral("background:#1f5fa8;color:white;font-size:24px;font-weight:bold;"));

  // On screen: the brand, the user above the password, the offline box, the buttons.
  form->addWidget(I_Y6);
  fields->addWidget(L_User, 0, 0);
  fields->addWidget(E_User, 0, 1);
  fields->addWidget(L_Pass, 1, 0);
  fields->addWidget(E_Pass, 1, 1);
  fields->addWidget(C_IsWeb, 2, 1);
  form->addLayout(fields);
  bottom->addStretch();
  bottom->addWidget(B_Set);
  bottom->addWidget(B_Login);
  form->addWidget(SP_Bottom);

  setTabOrder(E_Pass, E_User);
  setTabOrder(E_User, B_Set);
  setTabOrder(B_Set, B_Login);
  setTabOrder(B_Login, C_IsWeb);
  E_Pass->setFocus();

  connect(B_Login, &QPushButton::clicked, this, &TF_Login::B_LoginClick);
  connect(B_Set, &QPushButton::clicked, this, &TF_Login::B_SetClick);
  // The form sees the keys before its controls.
  for (QWidget* w : {static_cast<QWidget*>(E_Pass), static_cast<QWidget*>(E_User), static_cast<QWidget*>(B_Set),
                     static_cast<QWidget*>(B_Login), static_cast<QWidget*>(C_IsWeb)})
    w->installEventFilter(this);

  setMinimumWidth(340);
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TF_Login::~TF_Login() = default;

int TF_Login::exec() {
  int result;
  inExec_ = true;
  do {
    showAgain_ = false;
    result = QDialog::exec();
  } while (showAgain_ && !Session.LoggedIn);
  inExec_ = false;
  return result;
}

bool TF_Login::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      reject();
      return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (watched == E_User || watched == E_Pass)) {
      B_LoginClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TF_Login::B_SetClick() {
  // Made for this once and gone afterwards; a changed login page address takes effect at once.
  TF_Set settings(this);
  settings.exec();
}

void TF_Login::Warn(QWidget* focus, const QString& text) {
  if (focus) focus->setFocus();
  DM->SM->Notice(text);
}

void TF_Login::B_LoginClick() {
  const std::string user = E_User->text().toStdString();
  const std::string password = E_Pass->text().toStdString();
  // Every attempt starts from nothing: a refused or failed one leaves no session behind.
  Session = TSession{};
  SetOnlineSession("");
  try {
    if (DM->Q_ZY.IsEmpty()) FirstTimeLogin(user, password);
    else LocalLogin(user, password);
  } catch (const std::exception& e) {
    // What no step handles itself (the store, a first login the server cannot be reached
    // for) is shown, and the dialog stays for another try.
    DM->SM->Failure(QString::fromUtf8(e.what()));
  }
}

// --- First login on a new installation ---------------------------------------------------------

void TF_Login::FirstTimeLogin(const std::string& user, const std::string& password) {
  if (Config.LoginPage.isEmpty()) return Warn(nullptr, QStringLiteral("请设置软件接口地址！"));
  if (user.empty()) return Warn(E_User, QStringLiteral("用户账号必须输入！"));
  if (user == "admin") return Warn(E_User, QStringLiteral("桌面端目前暂不支持系统管理员登录！"));
  const std::string reply = LoginRequest(DatabaseName(), user, password);
  if (IsRefusal(reply)) return Warn(nullptr, Q(reply));
  SetOnlineSession(reply);
  Initialise(user, password);
}

void TF_Login::Initialise(const std::string& user, const std::string& password) {
  hide();
  auto load = std::make_unique<TF_Load>();
  load->SetText(QStringLiteral("正在初始化..."));
  load->show();
  try {
    RunInitialisation(load, user, password);
  } catch (const std::exception& e) {
    // The store went back to what it was (the clearing included), so the next attempt, or
    // the next start, begins the initialisation again from an empty staff list.
    load.reset();
    DM->ADOC.Close();
    DM->Q_XT.Close();
    DM->Q_QX.Close();
    Session = TSession{};
    SetOnlineSession("");
    DM->SM->Failure(QString::fromUtf8(e.what()));
    if (inExec_) showAgain_ = true; // exec() shows the dialog again when this handler returns
    else show();
    return;
  }
  Session.LoggedIn = true;
  accept();
  CreateDesktopShortcut();
}

void TF_Login::RunInitialisation(std::unique_ptr<TF_Load>& load, const std::string& user,
                                 const std::string& password) {
  TStore& db = DM->ADOC;
  TTransaction work(db);
  ClearStore();
  Session.LoginName = user;
  Session.Password = password;

  // The user's roles and store, straight from the server's tables.
  const std::string row = FirstRow(GbkToUtf8(
      QueryRequest("Select U.角色,F.ID,F.名称,F.总公司 From 职员信息 U Left Join 门店信息 F On U.分店ID=F.ID Where "
                   "U.登陆名=" +
                   QuotedStr(user))));
  if (row.empty()) throw std::runtime_error("服务器上没有用户 " + user + " 的职员信息。");
  std::vector<std::string> f = SplitLine(row);
  f.resize(4);
  Session.Roles = f[0];
  Session.StoreID = f[1];
  Session.StoreName = f[2];
  const bool headOffice = f[3] == "True";

  load->SetGauge(1);
  DownloadTable("系统信息", kSwitchColumns, "");
  if (!headOffice) {
    OpenDetached(DM->Q_XT, db);
    const std::string store = " and 分店ID=" + Session.StoreID;
    if (!SwitchOn("店间业务互查")) Session.BusinessFilter = store;
    if (!SwitchOn("店间库存互查")) Session.StockFilter = store;
    if (!SwitchOn("供应商店间共享")) Session.CustomerFilter = " and (类别<>'供应商' or 分店ID=" + Session.StoreID + ")";
    DM->Q_XT.Close();
  }

  load->SetGauge(2);
  DownloadTable("权限", kRightsColumns, kRightsFilter);
  // The server's role text is matched in its "|id|" form, as the local staff row keeps it, so
  // that both ways of logging in see the same rights. Suppliers are hidden unless the roles
  // hold the 供应商 right and it is shown: a role without that right has no business with them.
  DM->Q_QX.SetParam(":RID", MarkedRoles(Session.Roles));
  OpenDetached(DM->Q_QX, db);
  if (SuppliersHidden(DM->Q_QX)) Session.SupplierFilter = " and 类别<>'供应商'";
  DM->Q_QX.Close();

  load->SetGauge(3);
  HeartbeatRequest(*DM->IHTTP);
  load->SetText(QStringLiteral("正在下载单据表..."));
  DownloadRecent("进销单据", "Select Top 80 * From 进销单据 Where DateDiff(d,单据日期,GetDate())<31" +
                                 Session.BusinessFilter + " Order By ID");
  load->SetGauge(4);
  DownloadRecent("进销单据明细", "Select Top 100 D.* From 进销单据明细 D,进销单据 M Where "
                                     "DateDiff(d,M.单据日期,GetDate())<31 and M.单据编号=D.单据编号 Order By D.ID");
  load->SetGauge(5);
  DownloadRecent("收付款单", "Select Top 100 * From 收付款单 Where DateDiff(d,单据日期,GetDate())<31" +
                                 Session.BusinessFilter + " Order By ID");
  load->SetGauge(6);
  DownloadRecent("收付款单明细", "Select Top 100 D.* From 收付款单明细 D,收付款单 M Where "
                                     "DateDiff(d,M.单据日期,GetDate())<31 and M.单据编号=D.单据编号 Order By D.ID");

  QCoreApplication::processEvents();
  load->SetGauge(7);
  HeartbeatRequest(*DM->IHTTP);
  DownloadTable("职员信息", kStaffColumns, "");
  RecordSessionPassword();
  Session.Roles = MarkedRoles(Session.Roles);

  load->SetGauge(8);
  DownloadTable("仓库", "*", "");
  load->SetGauge(9);
  DownloadTable("常用分类明细", "*", "");
  load->SetGauge(10);
  DownloadTable("价格方案", "*", "");
  load->SetGauge(11);
  DownloadTable("客户分类", "*", Session.CustomerFilter);
  load->SetGauge(12);
  HeartbeatRequest(*DM->IHTTP);
  load->SetText(QStringLiteral("正在下载客户表..."));
  DownloadTable("客户信息", kCustomerColumns, CustomerFilter());
  QCoreApplication::processEvents();
  load->SetGauge(13);
  DownloadTable("门店信息", kStoreColumns, "");
  load->SetGauge(14);
  DownloadTable("商品分类", "*", "");
  load->SetGauge(15);
  HeartbeatRequest(*DM->IHTTP);
  load->SetText(QStringLiteral("正在下载商品表..."));
  DownloadTable("商品信息", kGoodsColumns, "");
  QCoreApplication::processEvents();
  load->SetGauge(16);
  HeartbeatRequest(*DM->IHTTP);
  load->SetText(QStringLiteral("正在下载库存表..."));
  DownloadTable("库存锁定", "*", "");
  load->SetGauge(17);
  DownloadTable("商品库存", kStockColumns, StockFilter());
  DownloadTable("综合库存", kStoreStockColumns, StockFilter());
  load->SetGauge(18);
  DownloadTable("业务序列号", kSerialColumns, kSerialFilter);
  load->SetGauge(19);
  DownloadTable("现金银行", "*", "");
  load->SetGauge(20);
  work.Commit();

  for (TDataSet* d : {&DM->Q_ZY, &DM->Q_ZH, &DM->Q_CK}) ReloadKeepPosition(*d, db);
  load.reset();

  // The user's own row, found by the password just recorded.
  TResult staff = db.Query("Select ID,姓名,密码 From 职员信息 Where 登陆名=" + QuotedStr(user));
  for (const auto& r : staff.Rows)
    if (VerifyPassword(AsText(r[2]), password)) {
      Session.UserID = AsText(r[0]);
      Session.UserName = AsText(r[1]);
      break;
    }
  db.Close();
}

// --- Login on an initialised client ------------------------------------------------------------

void TF_Login::LocalLogin(const std::string& user, const std::string& password) {
  TResult found;
  {
    TOperation op(DM->ADOC);
    // The user may type the staff number, the login name or the name.
    const std::string u = QuotedStr(user);
    found = DM->ADOC.Query("Select U.ID,U.登陆名,U.密码,U.姓名,U.分店ID,U.停用,U.角色,F.名称,F.总公司 From 职员信息 U "
                           "Left Join 门店信息 F On U.分店ID=F.ID Where U.编号=" +
                           u + " or U.登陆名=" + u + " or U.姓名=" + u);
    ReloadDetached(DM->Q_XT, DM->ADOC);
  }
  if (found.Rows.empty()) return Warn(E_User, QStringLiteral("此用户不存在。"));
  const std::vector<TValue>& row = found.Rows.front();
  if (AsInt(row[5]) != 0) return Warn(E_User, QStringLiteral("此用户已停用。"));
  const std::string stored = AsText(row[2]);
  if (stored == kPlaceholderPassword)
    return Warn(E_User, QStringLiteral("此用户未初始化。可解压桌面端压缩文件到其他文件夹后登录、初始化。"));
  if (!VerifyPassword(stored, password)) return Warn(E_Pass, QStringLiteral("您输入的密码不正确。请重新输入。"));

  Session.UserID = AsText(row[0]);
  Session.LoginName = AsText(row[1]);
  Session.Password = password;
  Session.UserName = AsText(row[3]);
  Session.StoreID = AsText(row[4]);
  Session.Roles = AsText(row[6]);
  Session.StoreName = AsText(row[7]);
  if (AsInt(row[8]) == 0) {
    const std::string store = " and 分店ID=" + Session.StoreID;
    if (!SwitchOn("店间业务互查")) Session.BusinessFilter = store;
    if (!SwitchOn("店间库存互查")) Session.StockFilter = store;
    if (!SwitchOn("供应商店间共享")) Session.CustomerFilter = store;
  }

  if (!C_IsWeb->isChecked()) {
    try {
      std::string refusal;
      if (!LoginOnline(refusal)) DM->SM->Notice(Q(refusal));
    } catch (const EHttpError&) {
      // The one failure that is not an error here: the client works offline.
      DM->SM->Notice(QStringLiteral("连接服务器失败！桌面端进入脱机工作。"));
    }
  }
  Session.LoggedIn = true;
  accept();
}

// --- Shared with the connect command ------------------------------------------------------------

bool IsRefusal(const std::string& reply) { return reply.compare(0, 5, "error") == 0; }

bool LoginOnline(std::string& refusal) {
  const std::string reply = LoginRequest(DatabaseName(), Session.LoginName, Session.Password);
  if (IsRefusal(reply)) {
    SetOnlineSession("");
    refusal = reply;
    return false;
  }
  SetOnlineSession(reply);
  return true;
}

// --- The desktop shortcut ------------------------------------------------------------------------

void CreateDesktopShortcut() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  // A session without a desktop directory (a bare window manager, a kiosk account) shows no
  // desktop icons: making the directory would only leave a stray folder in the home, and the
  // program is reached the way it was started. So the shortcut is left out, not the login.
  if (desktop.isEmpty() || !QFileInfo(desktop).isDir()) return;
  const QString path = QDir(desktop).filePath(kShortcutFile);
  const QString program = QCoreApplication::applicationFilePath();
  const QString text = QStringLiteral("[Desktop Entry]\n"
                                      "Type=Application\n"
                                      "Name=%1\n"
                                      "Comment=%2\n"
                                      "Exec=%3\n"
                                      "Path=%4\n"
                                      "Terminal=false\n")
                           .arg(EntryText(kShortcutFile.chopped(8)), EntryText(Config.ClientName), ExecValue(program),
                                EntryText(QDir::toNativeSeparators(ProgramDir)));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
    throw std::runtime_error("无法创建桌面快捷方式 " + path.toStdString() + "：" + file.errorString().toStdString());
  // Desktops start only entries that are executable.
  QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}
