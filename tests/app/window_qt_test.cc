// The Linux window driven in its own process on Qt's offscreen platform.
#include "app/window_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/share_env.h"
#include "tests/fixtures/test_server.h"

namespace quoril {
namespace {

using Shown = std::pair<QString, QString>;  // text, title

// Dismisses every message box that comes up while it lives, noting each.
class MessageCatcher {
 public:
  MessageCatcher() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        shown.emplace_back(box->text(), box->windowTitle());
        box->accept();
      }
    });
    timer_.start();
  }
  std::vector<Shown> shown;

 private:
  QTimer timer_;
};

const QString kTip = QString::fromUtf8("Tavrin温馨提示");

class QtWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "window_qt_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }

  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    test::set_share_host("127.0.0.1:" + std::to_string(server_.port()));
    server_.set("/share/share.php",
                test::Reply::ok("scope.short_url = \"http://t.cn/\xE4\xB8\xAD\";"));
    window_ = std::make_unique<MainWindow>();
    window_->show();
    box_ = window_->findChild<QLineEdit*>("box");
    ASSERT_NE(box_, nullptr);
  }
  void TearDown() override { test::set_share_host(""); }

  QPushButton* button(const char* name) {
    return window_->findChild<QPushButton*>(name);
  }
  void key(QWidget* to, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
  }

  static QApplication* app_;
  test::TestServer server_;
  std::unique_ptr<MainWindow> window_;
  QLineEdit* box_ = nullptr;
};
QApplication* QtWindowTest::app_ = nullptr;

TEST_F(QtWindowTest, LaidOutAsDescribed) {
  EXPECT_EQ(window_->windowTitle(), "Quoril");
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize()) << "fixed size";
  EXPECT_EQ(window_->size(), QSize(MainWindow::kClientWidth,
                                   MainWindow::kClientHeight));
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  struct Case {
    const char* name;
    QRect place;
    QString text;
  } cases[] = {
      {"usage", {8, 144, 97, 32}, QString::fromUtf8("使用说明")},
      {"generate", {127, 144, 97, 32}, QString::fromUtf8("生成")},
      {"copy", {248, 144, 97, 32}, QString::fromUtf8("复制")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QPushButton* b = button(c.name);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->geometry(), c.place);
    EXPECT_EQ(b->text(), c.text);
  }
  EXPECT_EQ(box_->geometry(), QRect(81, 45, 191, 59));
  EXPECT_EQ(box_->text(), "http://www.baidu.com/");
  EXPECT_EQ(box_->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);

  // The picture is stretched over the client area: sky through the opening,
  // dim green in the corner.
  ASSERT_TRUE(window_->has_background());
  const QImage shot = window_->grab().toImage();
  const QColor sky = shot.pixelColor(180, 122);
  const QColor corner = shot.pixelColor(4, 4);
  EXPECT_GT(sky.blue(), 170) << sky.name().toStdString();
  EXPECT_GT(sky.lightness(), 150) << sky.name().toStdString();
  EXPECT_LT(corner.lightness(), 70) << corner.name().toStdString();
  EXPECT_GE(corner.green(), corner.red()) << corner.name().toStdString();
}

TEST_F(QtWindowTest, GenerateByButtonAndByEnter) {
  for (bool by_enter : {false, true}) {
    SCOPED_TRACE(by_enter ? "enter" : "button");
    MessageCatcher catcher;
    box_->setText("a.b/c");
    if (by_enter) {
      key(box_, Qt::Key_Return);
    } else {
      button("generate")->click();
    }
    EXPECT_EQ(box_->text(), QString::fromUtf8("http://t.cn/中"));
    EXPECT_EQ(box_->selectedText(), box_->text());
    EXPECT_TRUE(catcher.shown.empty());
  }
  ASSERT_EQ(server_.requests().size(), 2u);
  EXPECT_EQ(server_.requests()[1].target(),
            "/share/share.php?url=%68%74%74%70%3A%2F%2F%61%2E%62%2F%63"
            "&title=ZOVEK&pic=");
}

TEST_F(QtWindowTest, FailuresKeepTheAddressAndSayWhy) {
  int closed_port = 0;
  {
    test::TestServer gone;
    closed_port = gone.port();
  }
  struct Case {
    const char* name;
    std::string host;  // empty: the test's server, which answers 404
    QString box;
    QString says;
  } cases[] = {
      {"no server", "127.0.0.1:" + std::to_string(closed_port), "a.b/c",
       QString::fromUtf8("未能获取短链接：无法连接到短链接服务（没有响应或超时）。")},
      {"answered without a link", "", "a.b/c",
       QString::fromUtf8("未能获取短链接：服务返回“HTTP/1.1 404 Not Found”，"
                         "但其中没有短链接。")},
      {"empty box", "", "", QString::fromUtf8("请先输入要缩短的网址。")},
  };
  server_.set("/share/share.php", test::Reply{"404 Not Found", {}, "gone"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.host.empty()) test::set_share_host(c.host);
    MessageCatcher catcher;
    box_->setText(c.box);
    button("generate")->click();
    EXPECT_EQ(box_->text(), c.box);
    EXPECT_EQ(catcher.shown, (std::vector<Shown>{{c.says, kTip}}));
    test::set_share_host("127.0.0.1:" + std::to_string(server_.port()));
  }
  EXPECT_EQ(server_.requests().size(), 1u) << "an empty box asks for nothing";
}

TEST_F(QtWindowTest, UsageAndCopy) {
  MessageCatcher catcher;
  button("usage")->click();
  box_->setText(QString::fromUtf8("http://t.cn/中"));
  button("copy")->click();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("http://t.cn/中"));
  const std::vector<Shown> want = {
      {QString::fromUtf8("本软件仅限用于学习目的，不得将本软件用于商业或者非法用途，"
                         "否则后果用户自负与作者无关！！Q群：839204716"),
       QString::fromUtf8("使用说明")},
      {QString::fromUtf8("复制成功"), kTip},
  };
  EXPECT_EQ(catcher.shown, want);
}

TEST_F(QtWindowTest, EscapeClosesFromAnyControl) {
  for (const char* from : {"box", "generate", "copy"}) {
    SCOPED_TRACE(from);
    window_->show();
    ASSERT_TRUE(window_->isVisible());
    QWidget* control = window_->findChild<QWidget*>(from);
    ASSERT_NE(control, nullptr);
    control->setFocus();
    key(control, Qt::Key_Escape);
    EXPECT_FALSE(window_->isVisible());
  }
}

}  // namespace
}  // namespace quoril
