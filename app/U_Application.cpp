#include "U_Application.h"

#include "U_Data.h"

#include <QMessageBox>

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowError(QStringLiteral("未知错误"));
  }
  return false;
}

void ShowSystemError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("系统提示"), text, QMessageBox::Ok);
  box.exec();
}

void ShowError(const QString& text) {
  if (DM && DM->SM) DM->SM->Failure(text);
  else ShowSystemError(text);
}
