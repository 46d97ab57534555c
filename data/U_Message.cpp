#include "U_Message.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <stdexcept>

namespace {

int Show(QMessageBox::Icon icon, const QString& text, bool question) {
  QMessageBox box(icon, kMessageTitle, text, QMessageBox::NoButton, QApplication::activeWindow());
  if (question) {
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes ? 1 : 0;
  }
  box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
  box.exec();
  return 1;
}

} // namespace

bool TQtMessageBox::Question(const QString& text) { return Show(QMessageBox::Question, text, true) == 1; }
void TQtMessageBox::Notice(const QString& text) { Show(QMessageBox::Information, text, false); }
void TQtMessageBox::Failure(const QString& text) { Show(QMessageBox::Critical, text, false); }

bool TScriptedMessageBox::Question(const QString& text) {
  Shown << "? " + text;
  if (Answers.empty()) throw std::logic_error("no scripted answer for: " + text.toStdString());
  bool a = Answers.front();
  Answers.pop_front();
  return a;
}
