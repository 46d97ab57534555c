// The login dialog: who works with the client, in which store, with which rights, and whether
// the client starts online or offline.
//
// A client whose store holds no active staff (a new installation) must log in online: the
// dialog asks the server and then initialises the store from it, recording the user's
// password as a salted hash. An initialised client checks the user against its own staff
// table first, so that work can start without the server, and then logs in to the server as
// well unless offline work is ticked; a server that cannot be reached means offline work.
//
// The start-up creates the dialog, puts the default user into E_User, runs exec() and reads
// LoginSucceeded() (the same as Session.LoggedIn) before it destroys the dialog.
#pragma once

#include "U_PublicApi.h"

#include <QDialog>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TF_Load;

class TF_Login : public QDialog {
  Q_OBJECT
public:
  explicit TF_Login(QWidget* parent = nullptr);
  ~TF_Login() override;

  QLabel* L_Pass;
  QLineEdit* E_Pass; // has the focus first; characters from U+00A0 on are dropped
  QLabel* L_User;
  QLineEdit* E_User;
  QWidget* SP_Bottom;
  QPushButton* B_Set;
  QPushButton* B_Login;
  QCheckBox* C_IsWeb; // 脱机工作: an initialised client logs in without the server
  QLabel* I_Y6;

  bool LoginSucceeded() const { return Session.LoggedIn; }

  // Modal run. When the first-time initialisation fails half-way the dialog, hidden while it
  // ran, comes back and the run goes on; it ends on a successful login (Accepted) or on Esc.
  int exec() override;

  void B_LoginClick();
  void B_SetClick();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void FirstTimeLogin(const std::string& user, const std::string& password);
  void LocalLogin(const std::string& user, const std::string& password);
  void Initialise(const std::string& user, const std::string& password);
  void RunInitialisation(std::unique_ptr<TF_Load>& load, const std::string& user, const std::string& password);
  void Warn(QWidget* focus, const QString& text);

  bool inExec_ = false;
  bool showAgain_ = false;
};

// True for a login or connect reply that refuses: its first five characters are "error"
// (only in lower case; "Error..." is a session like any other text).
bool IsRefusal(const std::string& reply);

// The online step of the login, which the connect command repeats: the login request with
// the session's login name and password. An accepted reply becomes the online session and
// true is returned; a refusal empties the online session, is put into refusal and gives
// false. A failed exchange throws EHttpError and leaves the online session as it was.
bool LoginOnline(std::string& refusal);

// The name of the desktop shortcut the first login leaves, "禾岚Y6桌面端.desktop", and the
// routine that writes it into the user's desktop directory (replacing an older one).
extern const QString kShortcutFile;
void CreateDesktopShortcut();
