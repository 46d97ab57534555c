// The progress window of the first-time initialisation: a borderless box on top of every
// window with the step text and a gauge of the eighteen steps. It can be dragged by its text
// or its gauge, since it has no title bar.
#pragma once

#include <QPoint>
#include <QWidget>

class QLabel;
class QProgressBar;

class TF_Load : public QWidget {
  Q_OBJECT
public:
  explicit TF_Load(QWidget* parent = nullptr);

  QLabel* SL_Name;
  QProgressBar* SG;

  // Moves the gauge; positions past its end show it full.
  void SetGauge(int position);
  // Shows the step text (the next pumping of messages paints it).
  void SetText(const QString& text);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QPoint dragOffset_;
  bool dragging_ = false;
};
