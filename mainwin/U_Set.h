// The settings dialog: the login page address, the synchronisation interval, the defaults of
// new bills, the cash drawer, the client's name, the update address, the default login name
// and the switches. It shows the running configuration and, on 确定, takes the values over
// and writes them to Set.ini.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class TDBLookupComboBox;

class TF_Set : public QDialog {
  Q_OBJECT
public:
  // Needs the data module (its staff, account and warehouse lists and its message box).
  explicit TF_Set(QWidget* parent = nullptr);

  QLineEdit* E_Site;
  QSpinBox* NE_Min;
  QGroupBox* P_Bill; // 进销单据默认值设置
  QComboBox* CB_Type;
  TDBLookupComboBox* DBLCB_Account;
  QToolButton* SB_Account;
  TDBLookupComboBox* DBLCB_Manage;
  TDBLookupComboBox* DBLCB_Store;
  TDBLookupComboBox* DBLCB_Storage;
  TDBLookupComboBox* DBLCB_AccountPOS;
  QLineEdit* E_mbPort;
  QLineEdit* E_mbCode;
  QCheckBox* C_Print;
  QLineEdit* E_Soft;
  QLineEdit* E_Update;
  QLineEdit* E_Login;
  QCheckBox* C_Web;
  QCheckBox* C_Bill;
  QCheckBox* C_QQ;
  QCheckBox* C_Barcode;
  QPushButton* B_Save;
  QPushButton* B_Cancel;

  void FormCreate();   // fills the controls from the running configuration
  void B_SaveClick();  // takes the values over, writes Set.ini and closes
  void B_CancelClick() { reject(); }
  void SB_AccountClick();

protected:
  void showEvent(QShowEvent* event) override;

private:
  bool centred_ = false;
};
