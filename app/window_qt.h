// The main window on Linux: Qt Widgets. Controls are found by object name:
// "box" (the edit box), "usage", "generate" and "copy".
#pragma once

#include <QPixmap>
#include <QWidget>

#include "app/handlers.h"

class QLineEdit;

namespace quoril {

class MainWindow : public QWidget, private Ui {
 public:
  // Client area in pixels: what the 366 x 266 frame of the Windows build
  // leaves with a 3-pixel border and a 22-pixel caption.
  static constexpr int kClientWidth = 360;
  static constexpr int kClientHeight = 241;

  MainWindow();

  // Whether the background picture could be read.
  bool has_background() const { return !background_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Text read_box() override;
  void write_box(const Text& text) override;
  void message_box(const Text& text, const Text& title) override;
  bool put_on_clipboard(const Text& text) override;

  void generate();

  QLineEdit* box_;
  QPixmap background_;
};

}  // namespace quoril
