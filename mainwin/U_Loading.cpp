#include "U_Loading.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TF_Loading* F_Loading = nullptr;

TF_Loading::TF_Loading(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("F_Loading"));
  // It only tells; the window the user works in keeps the focus.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(400, 48);

  // Without a border of the window system, a raised panel marks the edge.
  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(panel);

  SL_Name = new QLabel(QStringLiteral("桌面客户端"), panel);
  SL_Name->setObjectName(QStringLiteral("SL_Name"));
  SL_Name->setAlignment(Qt::AlignCenter);
  auto* box = new QVBoxLayout(panel);
  box->addWidget(SL_Name);
}

TF_Loading::~TF_Loading() {
  if (F_Loading == this) F_Loading = nullptr;
}

void TF_Loading::ShowText(const QString& text) {
  SL_Name->setText(text);
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) move(s->availableGeometry().center() - rect().center());
  show();
  raise();
  // A window that was just shown is painted only once the window system has mapped it: let
  // it do so (without letting the user act meanwhile), then paint the new text at once.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
  repaint();
}

TLoading::TLoading(const QString& text, TF_Loading* window) : window_(window) {
  if (!window_) {
    own_ = std::make_unique<TF_Loading>();
    window_ = own_.get();
  }
  window_->ShowText(text);
}

TLoading::~TLoading() { window_->hide(); }
