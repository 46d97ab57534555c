#include "U_Load.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

TF_Load::TF_Load(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("TF_Load");
  auto* layout = new QVBoxLayout(this);

  SL_Name = new QLabel(QStringLiteral("桌面客户端"), this);
  SL_Name->setObjectName("SL_Name");
  SL_Name->setAlignment(Qt::AlignCenter);
  layout->addWidget(SL_Name);

  SG = new QProgressBar(this);
  SG->setObjectName("SG");
  SG->setRange(0, 18);
  SG->setValue(0);
  layout->addWidget(SG);

  for (QWidget* w : {static_cast<QWidget*>(SL_Name), static_cast<QWidget*>(SG)}) w->installEventFilter(this);

  resize(400, 72);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TF_Load::SetGauge(int position) { SG->setValue(std::clamp(position, SG->minimum(), SG->maximum())); }

void TF_Load::SetText(const QString& text) { SL_Name->setText(text); }

bool TF_Load::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::MouseButtonPress: {
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() != Qt::LeftButton) break;
    dragging_ = true;
    dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
    return true;
  }
  case QEvent::MouseMove:
    if (dragging_) {
      move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
      return true;
    }
    break;
  case QEvent::MouseButtonRelease:
    dragging_ = false;
    break;
  default:
    break;
  }
  return QWidget::eventFilter(watched, event);
}
