// The application object. An error that no command caught ends that command, not the
// program: it is shown here, and the program keeps running.
#pragma once

#include <QApplication>

class TApplication : public QApplication {
public:
  TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};

// A system message box: error icon, OK button, caption "系统提示". For the start, before the
// data module exists.
void ShowSystemError(const QString& text);

// The default error display: the data module's message box with the error sign once it
// exists, a system message box before.
void ShowError(const QString& text);
