// The progress window: a small borderless box that stays on top in the middle of the screen
// and tells which long operation is running while the window system waits for it.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;

class TF_Loading : public QWidget {
  Q_OBJECT
public:
  explicit TF_Loading(QWidget* parent = nullptr);
  ~TF_Loading() override; // F_Loading forgets a window that goes

  QLabel* SL_Name;

  // Puts the text in SL_Name, shows the window in the middle of the screen and paints it
  // before returning, so that the text is there while the caller's work blocks.
  void ShowText(const QString& text);
};

// The program's progress window, made after the main window and kept until it closes.
extern TF_Loading* F_Loading;

// Shows the progress window with a task text for the life of a scope and closes it when the
// scope ends, also when the work throws. Uses F_Loading, or a window of its own while the
// program has none (before the main window, in tests).
class TLoading {
public:
  explicit TLoading(const QString& text, TF_Loading* window = F_Loading);
  ~TLoading();
  TLoading(const TLoading&) = delete;
  TLoading& operator=(const TLoading&) = delete;

  // A new task text for the next step of the same operation.
  void SetText(const QString& text) { window_->ShowText(text); }
  TF_Loading& Window() const { return *window_; }

private:
  std::unique_ptr<TF_Loading> own_;
  TF_Loading* window_;
};
