#include "U_Set.h"

#include "U_Config.h"
#include "U_Data.h"
#include "U_DBLookup.h"
#include "U_Ini.h"
#include "U_PublicApi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

template <class T> T* Named(T* w, const char* name) {
  w->setObjectName(QString::fromUtf8(name));
  return w;
}

QLineEdit* Edit(const char* name) { return Named(new QLineEdit, name); }

QCheckBox* Check(const char* name, const QString& caption) { return Named(new QCheckBox(caption), name); }

QLabel* Label(const QString& caption, QWidget* buddy) {
  auto* l = new QLabel(caption);
  l->setBuddy(buddy);
  return l;
}

QString YesNo(const QCheckBox* c) { return c->isChecked() ? QStringLiteral("是") : QStringLiteral("否"); }

TValue Key(int id) { return TValue{std::int64_t{id}}; }

// The timer of the server synchronisation counts milliseconds in an int.
constexpr int kMaxMinutes = 35791;

} // namespace

TF_Set::TF_Set(QWidget* parent) : QDialog(parent) {
  if (!DM) throw std::logic_error("TF_Set: no data module");
  setObjectName(QStringLiteral("F_Set"));
  setWindowTitle(QStringLiteral("系统设置"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(8, 8, 8, 8);
  form->setSpacing(4);

  // The server and its synchronisation.
  E_Site = Edit("E_Site");
  auto* site = new QHBoxLayout;
  site->addWidget(Label(QStringLiteral("Y6登陆页面地址(&S)"), E_Site));
  site->addWidget(E_Site, 1);
  form->addLayout(site);

  NE_Min = Named(new QSpinBox, "NE_Min");
  NE_Min->setRange(0, kMaxMinutes); // 0 is taken as 1 on saving
  NE_Min->setButtonSymbols(QAbstractSpinBox::NoButtons);
  NE_Min->setAlignment(Qt::AlignRight);
  NE_Min->setFixedWidth(56);
  auto* sync = new QHBoxLayout;
  sync->addWidget(Label(QStringLiteral("在线状态本地每(&M)"), NE_Min));
  sync->addWidget(NE_Min);
  sync->addWidget(new QLabel(QStringLiteral("分钟自动和服务器同步增量数据")));
  sync->addStretch();
  form->addLayout(sync);

  // What new bills start with, and the cash drawer.
  P_Bill = Named(new QGroupBox(QStringLiteral("进销单据默认值设置")), "P_Bill");
  auto* bill = new QGridLayout(P_Bill);
  bill->setContentsMargins(6, 4, 6, 4);
  bill->setVerticalSpacing(3);
  CB_Type = Named(new QComboBox, "CB_Type");
  CB_Type->addItems({QString(), QStringLiteral("收据"), QStringLiteral("普通发票"), QStringLiteral("增值税发票")});
  bill->addWidget(Label(QStringLiteral("发票类型"), CB_Type), 0, 0);
  bill->addWidget(CB_Type, 0, 1);

  DBLCB_Account = new TDBLookupComboBox(QStringLiteral("DBLCB_Account"), DM->Q_ZH, "ID", "名称");
  SB_Account = Named(new QToolButton, "SB_Account");
  SB_Account->setText(QStringLiteral("×"));
  auto* account = new QHBoxLayout;
  account->setSpacing(2);
  account->addWidget(DBLCB_Account, 1);
  account->addWidget(SB_Account);
  bill->addWidget(Label(QStringLiteral("收付账户"), DBLCB_Account), 0, 2);
  bill->addLayout(account, 0, 3);

  DBLCB_Manage = new TDBLookupComboBox(QStringLiteral("DBLCB_Manage"), DM->Q_ZY, "ID", "姓名");
  bill->addWidget(Label(QStringLiteral("  导购员"), DBLCB_Manage), 1, 0);
  bill->addWidget(DBLCB_Manage, 1, 1);
  DBLCB_Store = new TDBLookupComboBox(QStringLiteral("DBLCB_Store"), DM->Q_ZY, "ID", "姓名");
  bill->addWidget(Label(QStringLiteral("出库人"), DBLCB_Store), 1, 2);
  bill->addWidget(DBLCB_Store, 1, 3);

  DBLCB_Storage = new TDBLookupComboBox(QStringLiteral("DBLCB_Storage"), DM->Q_CK, "ID", "名称");
  bill->addWidget(Label(QStringLiteral("商品仓库"), DBLCB_Storage), 2, 0);
  bill->addWidget(DBLCB_Storage, 2, 1);
  DBLCB_AccountPOS = new TDBLookupComboBox(QStringLiteral("DBLCB_AccountPOS"), DM->Q_ZH, "ID", "名称");
  bill->addWidget(Label(QStringLiteral("POS收款账户"), DBLCB_AccountPOS), 2, 2);
  bill->addWidget(DBLCB_AccountPOS, 2, 3);

  E_mbPort = Edit("E_mbPort");
  bill->addWidget(Label(QStringLiteral("钱箱端口"), E_mbPort), 3, 0);
  bill->addWidget(E_mbPort, 3, 1);
  E_mbCode = Edit("E_mbCode");
  bill->addWidget(Label(QStringLiteral("指令"), E_mbCode), 3, 2);
  bill->addWidget(E_mbCode, 3, 3);

  C_Print = Check("C_Print", QStringLiteral("收款自动打印小票"));
  bill->addWidget(C_Print, 4, 1, 1, 3);
  bill->setColumnStretch(1, 1);
  bill->setColumnStretch(3, 1);
  form->addWidget(P_Bill);

  // The client itself.
  auto* client = new QGridLayout;
  client->setVerticalSpacing(3);
  E_Soft = Edit("E_Soft");
  client->addWidget(Label(QStringLiteral("桌面端名称(&N)"), E_Soft), 0, 0);
  client->addWidget(E_Soft, 0, 1);
  E_Update = Edit("E_Update");
  client->addWidget(Label(QStringLiteral("桌面端升级(&U)"), E_Update), 1, 0);
  client->addWidget(E_Update, 1, 1);
  E_Login = Edit("E_Login");
  client->addWidget(Label(QStringLiteral("默认登陆用户名(&L)"), E_Login), 2, 0);
  client->addWidget(E_Login, 2, 1);
  form->addLayout(client);

  C_Web = Check("C_Web", QStringLiteral("默认脱机工作"));
  C_Bill = Check("C_Bill", QStringLiteral("保存单据设置"));
  C_QQ = Check("C_QQ", QStringLiteral("启用QQ弹屏"));
  C_Barcode = Check("C_Barcode", QStringLiteral("启用云商品库"));
  C_Barcode->setHidden(true); // kept in Set.ini, not offered to the user
  auto* switches = new QHBoxLayout;
  for (QCheckBox* c : {C_Web, C_Bill, C_QQ, C_Barcode}) switches->addWidget(c);
  switches->addStretch();
  form->addLayout(switches);

  B_Save = Named(new QPushButton(QStringLiteral("确定(&Y)")), "B_Save");
  B_Save->setDefault(true);
  B_Cancel = Named(new QPushButton(QStringLiteral("取消(&C)")), "B_Cancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(B_Save);
  buttons->addWidget(B_Cancel);
  form->addLayout(buttons);

  connect(B_Save, &QPushButton::clicked, this, &TF_Set::B_SaveClick);
  connect(B_Cancel, &QPushButton::clicked, this, &TF_Set::B_CancelClick);
  connect(SB_Account, &QToolButton::clicked, this, &TF_Set::SB_AccountClick);

  // A fixed dialog of 392 x 303; Linux fonts are wider than the ones that size was made for,
  // so the dialog grows to what its controls need when that is more, and stays fixed there.
  setFixedSize(sizeHint().expandedTo(QSize(392, 303)));

  FormCreate();
}

void TF_Set::FormCreate() {
  E_Site->setText(Config.LoginPage);
  NE_Min->setValue(Config.SyncMinutes);
  CB_Type->setCurrentIndex(CB_Type->findText(Config.InvoiceType)); // a text not in the list shows empty
  DBLCB_Account->SetKeyValue(Key(Config.Account));
  DBLCB_Manage->SetKeyValue(Key(Config.Guide));
  DBLCB_Store->SetKeyValue(Key(Config.Keeper));
  DBLCB_Storage->SetKeyValue(Key(Config.GoodsStore));
  DBLCB_AccountPOS->SetKeyValue(Key(Config.POSAccount));
  E_mbPort->setText(Config.DrawerPort);
  E_mbCode->setText(Config.DrawerCommand);
  C_Print->setChecked(IsYes(Config.AutoPrint));
  E_Soft->setText(Config.ClientName);
  E_Update->setText(Config.UpdateAddress);
  E_Login->setText(Config.DefaultUser);
  C_Web->setChecked(IsYes(Config.Offline));
  C_Bill->setChecked(IsYes(Config.KeepBillSettings));
  C_QQ->setChecked(IsYes(Config.QQPop));
  C_Barcode->setChecked(IsYes(Config.CloudGoods));
}

void TF_Set::SB_AccountClick() { DBLCB_Account->SetKeyValue(Key(0)); }

void TF_Set::B_SaveClick() {
  if (!QFileInfo(ConfigPath).isFile()) {
    DM->SM->Notice(QStringLiteral("配置文件 Set.ini 丢失。"));
    return;
  }
  NE_Min->interpretText(); // a number still being typed counts

  // Into the running configuration first: the next request already goes to the new server,
  // while the online session of the old one is kept.
  Config.LoginPage = E_Site->text();
  const TServerAddress address = DeriveServerAddress(Config.LoginPage);
  SetServerAddress(address.BaseURL.toStdString(), address.DBName.toStdString());
  Config.SyncMinutes = NE_Min->value() < 1 ? 1 : NE_Min->value();
  Config.AutoPrint = YesNo(C_Print);
  Config.Offline = YesNo(C_Web);
  Config.KeepBillSettings = YesNo(C_Bill);
  Config.QQPop = YesNo(C_QQ);
  Config.CloudGoods = YesNo(C_Barcode);
  Config.InvoiceType = CB_Type->currentText();
  Config.Account = DBLCB_Account->KeyInt();
  Config.POSAccount = DBLCB_AccountPOS->KeyInt();
  Config.Guide = DBLCB_Manage->KeyInt();
  Config.Keeper = DBLCB_Store->KeyInt();
  Config.GoodsStore = DBLCB_Storage->KeyInt();
  Config.ClientName = E_Soft->text();
  Config.UpdateAddress = E_Update->text();
  Config.DefaultUser = E_Login->text();
  Config.DrawerPort = E_mbPort->text();
  Config.DrawerCommand = E_mbCode->text();

  // Then the file, key by key; the keys this dialog does not show (默认客户) and the
  // comments stay as they are.
  TIniFile ini(ConfigPath);
  auto text = [&](const char* key, const QString& value) { ini.WriteString(kConfigSection, QString::fromUtf8(key), value); };
  auto integer = [&](const char* key, int value) { ini.WriteInteger(kConfigSection, QString::fromUtf8(key), value); };
  text("Y6登陆页面地址", Config.LoginPage);
  integer("数据同步间隔分", Config.SyncMinutes);
  text("脱机工作", Config.Offline);
  text("QQ弹屏", Config.QQPop);
  text("云商品库", Config.CloudGoods);
  text("发票类型", Config.InvoiceType);
  integer("收款账号", Config.Account);
  integer("导购员", Config.Guide);
  integer("出库人", Config.Keeper);
  integer("商品仓库", Config.GoodsStore);
  integer("POS收款账号", Config.POSAccount);
  text("保存单据设置", Config.KeepBillSettings);
  text("桌面端名称", Config.ClientName);
  text("桌面端升级", Config.UpdateAddress);
  text("默认登陆用户名", Config.DefaultUser);
  text("钱箱端口", Config.DrawerPort);
  text("钱箱指令", Config.DrawerCommand);
  text("收款自动打印", Config.AutoPrint);

  accept();
}

void TF_Set::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (centred_) return;
  centred_ = true;
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) move(s->availableGeometry().center() - rect().center());
}
