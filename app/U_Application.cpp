#include "U_Application.h"

#include "U_Data.h"
#include "U_Startup.h"

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

void ShowError(const QString& text) {
  if (DM && DM->SM) DM->SM->Failure(text);
  else ShowSystemError(text);
}
