// The program's message box: every question and notice after the start appears in it,
// titled "系统提示". Questions go on only on Yes. Tests put a scripted box in its place.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>

class TMessageBox {
public:
  virtual ~TMessageBox() = default;
  virtual bool Question(const QString& text) = 0; // Yes and No buttons; true for Yes
  virtual void Notice(const QString& text) = 0;   // OK button
  virtual void Failure(const QString& text) = 0;  // OK button and the error sign
};

inline const QString kMessageTitle = QStringLiteral("系统提示");

class TQtMessageBox : public TMessageBox {
public:
  bool Question(const QString& text) override;
  void Notice(const QString& text) override;
  void Failure(const QString& text) override;
};

// Answers questions from a queue and records every text it was given, in order, marked
// "? " for a question, "i " for a notice and "! " for a failure.
class TScriptedMessageBox : public TMessageBox {
public:
  std::deque<bool> Answers; // a question with no answer left is a fault of the test
  QStringList Shown;

  bool Question(const QString& text) override;
  void Notice(const QString& text) override { Shown << "i " + text; }
  void Failure(const QString& text) override { Shown << "! " + text; }
};
