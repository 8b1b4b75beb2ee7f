// The Windows window driven in its own process: start_program runs on a
// thread of its own while the test plays the user from the main thread.
// Under Wine it needs an X display.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "app/resource.h"
#include "tests/app/share_env.h"
#include "tests/fixtures/test_server.h"

namespace quoril {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr auto kWait = milliseconds(20000);

std::wstring text_of(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

struct Shown {
  std::wstring text, title;
  bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& s, std::ostream* out) {
  *out << "message of " << s.text.size() << " units titled " << s.title.size();
}

BOOL CALLBACK note_message_box(HWND window, LPARAM out) {
  wchar_t kind[32] = {};
  GetClassNameW(window, kind, 32);
  if (std::wcscmp(kind, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

// The message box that `thread` shows, if any.
HWND message_box_of(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(thread, note_message_box, reinterpret_cast<LPARAM>(&found));
  return found;
}

BOOL CALLBACK note_static_text(HWND child, LPARAM out) {
  wchar_t kind[32] = {};
  GetClassNameW(child, kind, 32);
  std::wstring text = text_of(child);
  if (_wcsicmp(kind, L"Static") != 0 || text.empty()) return TRUE;
  *reinterpret_cast<std::wstring*>(out) = text;
  return FALSE;
}

// Waits for the message box of `thread`, reads it and presses its OK.
Shown dismiss_message_box(DWORD thread) {
  const auto until = steady_clock::now() + kWait;
  HWND box = nullptr;
  while (!(box = message_box_of(thread)) && steady_clock::now() < until) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  if (box == nullptr) return {L"(no message box)", L""};
  Shown shown{L"", text_of(box)};
  EnumChildWindows(box, note_static_text,
                   reinterpret_cast<LPARAM>(&shown.text));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  while (IsWindow(box) && steady_clock::now() < until) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  return shown;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    use_server();
    server_.set("/share/share.php",
                test::Reply::ok("scope.short_url = \"http://t.cn/\xE4\xB8\xAD\";"));
    ui_ = std::thread([this] {
      ui_thread_ = GetCurrentThreadId();
      exit_code_ = start_program();
      done_ = true;
    });
    const auto until = steady_clock::now() + kWait;
    // Shown means made: the controls exist before the window is shown.
    while (!((window_ = FindWindowW(L"QuorilMainWindow", L"Quoril")) &&
             IsWindowVisible(window_)) &&
           steady_clock::now() < until) {
      std::this_thread::sleep_for(milliseconds(20));
    }
    ASSERT_NE(window_, nullptr) << "the window did not come up";
    box_ = GetDlgItem(window_, IDC_BOX);
    ASSERT_NE(box_, nullptr);
  }
  void TearDown() override {
    test::set_share_host("");
    if (!ui_.joinable()) return;
    // Close whatever is still up, a forgotten message box first.
    const auto until = steady_clock::now() + kWait;
    while (!done_ && steady_clock::now() < until) {
      if (HWND box = message_box_of(ui_thread_)) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      } else if (window_ != nullptr && IsWindow(window_)) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
      }
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (done_) {
      ui_.join();
    } else {
      ADD_FAILURE() << "the window's thread did not end";
      ui_.detach();
    }
  }

  // Waits until the program has ended; false when it has not.
  bool program_ends() {
    const auto until = steady_clock::now() + kWait;
    while (!done_ && steady_clock::now() < until) {
      std::this_thread::sleep_for(milliseconds(20));
    }
    return done_;
  }

  void use_server() {
    test::set_share_host("127.0.0.1:" + std::to_string(server_.port()));
  }
  void set_box(const std::wstring& text) {
    SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void click(int id) { PostMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0); }
  // Waits until the box shows `text`; false when it never does.
  bool box_becomes(const std::wstring& text) {
    const auto until = steady_clock::now() + kWait;
    while (text_of(box_) != text && steady_clock::now() < until) {
      std::this_thread::sleep_for(milliseconds(20));
    }
    return text_of(box_) == text;
  }
  // The ui thread has handled everything posted before this returns.
  void settle() { SendMessageW(window_, WM_NULL, 0, 0); }

  test::TestServer server_;
  std::thread ui_;
  std::atomic<DWORD> ui_thread_{0};
  std::atomic<bool> done_{false};
  std::atomic<int> exit_code_{-1};
  HWND window_ = nullptr;
  HWND box_ = nullptr;
};

const std::wstring kTip = L"Tavrin温馨提示";

TEST_F(Win32WindowTest, LaidOutAsDescribed) {
  RECT outer;
  ASSERT_TRUE(GetWindowRect(window_, &outer));
  EXPECT_EQ(outer.right - outer.left, 366);
  EXPECT_EQ(outer.bottom - outer.top, 266);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 366) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 266) / 2);
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);

  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  struct Case {
    int id;
    const wchar_t* kind;
    RECT place;  // left, top, right, bottom in client pixels
    std::wstring text;
  } cases[] = {
      {IDC_USAGE, L"Button", {8, 144, 105, 176}, L"使用说明"},
      {IDC_GENERATE, L"Button", {127, 144, 224, 176}, L"生成"},
      {IDC_COPY, L"Button", {248, 144, 345, 176}, L"复制"},
      {IDC_BOX, L"Edit", {81, 45, 272, 104}, L"http://www.baidu.com/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    HWND control = GetDlgItem(window_, c.id);
    ASSERT_NE(control, nullptr);
    wchar_t kind[32] = {};
    GetClassNameW(control, kind, 32);
    EXPECT_EQ(_wcsicmp(kind, c.kind), 0);
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, c.place.left);
    EXPECT_EQ(place.top, c.place.top);
    EXPECT_EQ(place.right, c.place.right);
    EXPECT_EQ(place.bottom, c.place.bottom);
    EXPECT_TRUE(text_of(control) == c.text);
    EXPECT_EQ(static_cast<WPARAM>(SendMessageW(control, WM_GETFONT, 0, 0)), font);
  }
  const auto edit_style = static_cast<DWORD>(GetWindowLongPtrW(box_, GWL_STYLE));
  EXPECT_EQ(edit_style & (ES_AUTOHSCROLL | ES_CENTER | ES_MULTILINE),
            DWORD{ES_AUTOHSCROLL | ES_CENTER});
  EXPECT_TRUE(GetWindowLongPtrW(box_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(Win32WindowTest, ResourcesOfTheProgram) {
  wchar_t path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  const DWORD size = GetFileVersionInfoSizeW(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, info.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010004u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010004u);
  EXPECT_EQ(fixed->dwFileType, DWORD{VFT_APP});
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value,
                             &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(static_cast<WORD*>(value)[0], 0x0804);
  EXPECT_EQ(static_cast<WORD*>(value)[1], 1200);
  for (const wchar_t* name : {L"ProductName", L"FileDescription", L"Comments"}) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(name[0]));
    const std::wstring key = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    ASSERT_TRUE(VerQueryValueW(info.data(), key.c_str(), &value, &length));
    EXPECT_TRUE(std::wstring(static_cast<wchar_t*>(value)) == L"Quoril");
  }

  // One 32x32 image of 32 bits per pixel in the icon group DEFAULT_ICON.
  HRSRC group = FindResourceW(nullptr, L"DEFAULT_ICON", MAKEINTRESOURCEW(14));
  ASSERT_NE(group, nullptr);
  const auto* directory =
      static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(directory[4] | directory[5] << 8, 1) << "one image";
  EXPECT_EQ(directory[6], 32);   // width
  EXPECT_EQ(directory[7], 32);   // height
  EXPECT_EQ(directory[12], 32);  // bits per pixel

  HRSRC manifest = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string text(
      static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
      SizeofResource(nullptr, manifest));
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST_F(Win32WindowTest, GenerateByButtonAndByEnter) {
  for (bool by_enter : {false, true}) {
    SCOPED_TRACE(by_enter ? "enter" : "button");
    set_box(L"a.b/c");
    if (by_enter) {
      PostMessageW(box_, WM_KEYDOWN, VK_RETURN, 1);
    } else {
      click(IDC_GENERATE);
    }
    ASSERT_TRUE(box_becomes(L"http://t.cn/中"));
    settle();
    EXPECT_EQ(message_box_of(ui_thread_), nullptr);
    DWORD from = 1, to = 0;
    SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 13u) << "the short link is selected";
  }
  ASSERT_EQ(server_.requests().size(), 2u);
  EXPECT_EQ(server_.requests()[0].target(),
            "/share/share.php?url=%68%74%74%70%3A%2F%2F%61%2E%62%2F%63"
            "&title=ZOVEK&pic=");
}

TEST_F(Win32WindowTest, FailuresKeepTheAddressAndSayWhy) {
  int closed_port = 0;
  {
    test::TestServer gone;
    closed_port = gone.port();
  }
  server_.set("/share/share.php", test::Reply{"404 Not Found", {}, "gone"});
  struct Case {
    const char* name;
    std::string host;  // empty: the test's server, which answers 404
    std::wstring box;
    std::wstring says;
  } cases[] = {
      {"no server", "127.0.0.1:" + std::to_string(closed_port), L"a.b/中",
       L"未能获取短链接：无法连接到短链接服务（没有响应或超时）。"},
      {"answered without a link", "", L"a.b/c",
       L"未能获取短链接：服务返回“HTTP/1.1 404 Not Found”，但其中没有短链接。"},
      {"empty box", "", L"", L"请先输入要缩短的网址。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.host.empty()) test::set_share_host(c.host);
    set_box(c.box);
    click(IDC_GENERATE);
    EXPECT_EQ(dismiss_message_box(ui_thread_), (Shown{c.says, kTip}));
    settle();
    EXPECT_TRUE(text_of(box_) == c.box);
    use_server();
  }
  EXPECT_EQ(server_.requests().size(), 1u) << "an empty box asks for nothing";
}

TEST_F(Win32WindowTest, UsageCopyAndEscape) {
  click(IDC_USAGE);
  EXPECT_EQ(dismiss_message_box(ui_thread_),
            (Shown{L"本软件仅限用于学习目的，不得将本软件用于商业或者非法用途，"
                   L"否则后果用户自负与作者无关！！Q群：839204716",
                   L"使用说明"}));

  set_box(L"http://t.cn/中");
  click(IDC_COPY);
  EXPECT_EQ(dismiss_message_box(ui_thread_), (Shown{L"复制成功", kTip}));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE ansi = GetClipboardData(CF_TEXT);
  ASSERT_NE(ansi, nullptr);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(ansi)),
               "http://t.cn/\xD6\xD0" /* 中 */);
  GlobalUnlock(ansi);
  HANDLE wide = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(wide, nullptr);
  EXPECT_TRUE(std::wstring(static_cast<const wchar_t*>(GlobalLock(wide))) ==
              L"http://t.cn/中");
  GlobalUnlock(wide);

  // While this thread holds the clipboard open the copy cannot work.
  click(IDC_COPY);
  EXPECT_EQ(dismiss_message_box(ui_thread_),
            (Shown{L"复制失败：无法打开剪贴板或无法存入文本。", kTip}));
  ASSERT_TRUE(CloseClipboard());

  // Esc from the edit box closes the window and ends the program with 0.
  PostMessageW(box_, WM_KEYDOWN, VK_ESCAPE, 1);
  ASSERT_TRUE(program_ends());
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(exit_code_, 0);
}

}  // namespace
}  // namespace quoril
