#include "app/window_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "app/program.h"
#include "encoding/codepage.h"

namespace quoril {
namespace {

QString to_qt(const Text& text) {
  return QString::fromUtf8(ansi_to_utf8(text));
}

Text from_qt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return utf8_to_ansi(Bytes(utf8.begin(), utf8.end()));
}

QPushButton* add_button(QWidget* parent, const char* name, const Text& caption,
                        int left) {
  auto* button = new QPushButton(to_qt(caption), parent);
  button->setObjectName(name);
  button->setGeometry(left, 144, 97, 32);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MainWindow::MainWindow() : background_(":/background.jpg") {
  setWindowTitle(kWindowTitle);
  setWindowIcon(QIcon(":/quoril.ico"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);

  auto* usage = add_button(this, "usage", kUsageCaption, 8);
  auto* generate = add_button(this, "generate", kGenerateCaption, 127);
  auto* copy = add_button(this, "copy", kCopyCaption, 248);
  box_ = new QLineEdit(to_qt(kSampleAddress), this);
  box_->setObjectName("box");
  box_->setGeometry(81, 45, 191, 59);
  box_->setAlignment(Qt::AlignCenter);
  box_->setCursorPosition(0);

  connect(usage, &QPushButton::clicked, this, [this] { on_show_usage(*this); });
  connect(generate, &QPushButton::clicked, this, [this] { this->generate(); });
  connect(box_, &QLineEdit::returnPressed, this, [this] { this->generate(); });
  connect(copy, &QPushButton::clicked, this, [this] { on_copy(*this); });
  on_main_window_created(*this);
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (has_background()) painter.drawPixmap(rect(), background_);
}

// No control claims Esc, so it reaches the window from any of them.
void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
  } else {
    QWidget::keyPressEvent(event);
  }
}

void MainWindow::generate() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // Show the busy cursor before the request blocks the loop.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  bool written = false;
  {
    struct Restore {
      ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    written = on_generate(*this);
  }
  if (written) {
    box_->setFocus();
    box_->selectAll();
  }
}

Text MainWindow::read_box() { return from_qt(box_->text()); }

void MainWindow::write_box(const Text& text) { box_->setText(to_qt(text)); }

void MainWindow::message_box(const Text& text, const Text& title) {
  // A busy cursor must not hang over a box that waits for the user.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  QMessageBox box(QMessageBox::NoIcon, to_qt(title), to_qt(text),
                  QMessageBox::Ok, this);
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
}

bool MainWindow::put_on_clipboard(const Text& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return false;
  const QString value = to_qt(text);
  clipboard->setText(value);
  return clipboard->text() == value;
}

int start_program() {
  static int argc = 1;
  static char name[] = "quoril";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  MainWindow window;
  if (const QScreen* primary = QGuiApplication::primaryScreen()) {
    const QRect screen = primary->geometry();
    const QSize outer = window.frameGeometry().size();
    window.move(screen.x() + (screen.width() - outer.width()) / 2,
                screen.y() + (screen.height() - outer.height()) / 2);
  }
  window.show();
  application.exec();
  return 0;
}

}  // namespace quoril
