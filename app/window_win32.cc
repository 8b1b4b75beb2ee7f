// The main window on Windows: a plain Win32 window over the wide API. Texts
// cross the window's edge as code page 936 and are converted there, whatever
// code page the machine uses.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/handlers.h"
#include "app/program.h"
#include "app/resource.h"
#include "encoding/codepage.h"

namespace quoril {
namespace {

constexpr wchar_t kClassName[] = L"QuorilMainWindow";
constexpr int kOuterWidth = 366;
constexpr int kOuterHeight = 266;

std::wstring to_wide(const Text& text) {
  const Bytes units = ansi_to_wide(text, 936);
  std::wstring wide;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    const auto unit = static_cast<wchar_t>(units[i] | units[i + 1] << 8);
    if (unit == L'\0') break;
    wide.push_back(unit);
  }
  return wide;
}

Text from_wide(const std::wstring& wide) {
  Bytes units;
  units.reserve(wide.size() * 2);
  for (const wchar_t unit : wide) {
    units.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    units.push_back(static_cast<std::uint8_t>(unit >> 8 & 0xFF));
  }
  return wide_to_gbk(units);
}

struct ReleasePicture {
  void operator()(IPicture* picture) const { picture->Release(); }
};
using PicturePtr = std::unique_ptr<IPicture, ReleasePicture>;

struct FreeGlobal {
  void operator()(HGLOBAL block) const { GlobalFree(block); }
};
using GlobalPtr = std::unique_ptr<void, FreeGlobal>;

// The background JPEG from the program's resources; null when any step fails
// (the window then shows its plain face colour).
PicturePtr load_background(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDR_BACKGROUND),
                              MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (found == nullptr) return nullptr;
  const DWORD size = SizeofResource(instance, found);
  HGLOBAL loaded = LoadResource(instance, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) return nullptr;
  GlobalPtr copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return nullptr;
  void* place = GlobalLock(copy.get());
  if (place == nullptr) return nullptr;
  std::memcpy(place, data, size);
  GlobalUnlock(copy.get());  // 0 here means "no longer locked"
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy.get(), TRUE, &stream))) return nullptr;
  copy.release();  // the stream frees it now
  void* picture = nullptr;
  const HRESULT loaded_picture = OleLoadPicture(
      stream, static_cast<LONG>(size), FALSE, IID_IPicture, &picture);
  stream->Release();
  if (FAILED(loaded_picture) || picture == nullptr) return nullptr;
  return PicturePtr(static_cast<IPicture*>(picture));
}

// Stores `size` bytes at `data` in the open clipboard under `format`.
bool store_on_clipboard(UINT format, const void* data, std::size_t size) {
  GlobalPtr block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!block) return false;
  void* place = GlobalLock(block.get());
  if (place == nullptr) return false;
  std::memcpy(place, data, size);
  GlobalUnlock(block.get());
  if (SetClipboardData(format, block.get()) == nullptr) return false;
  block.release();  // the clipboard owns it now
  return true;
}

class MainWindow : public Ui {
 public:
  explicit MainWindow(PicturePtr background)
      : background_(std::move(background)) {}

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam);

  // Runs the message loop until the window is gone; the loop's exit code.
  int run();

  HWND window_ = nullptr;

 private:
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  bool make_controls();
  void paint_background(HDC dc);
  void generate();

  Text read_box() override;
  void write_box(const Text& text) override;
  void message_box(const Text& text, const Text& title) override;
  bool put_on_clipboard(const Text& text) override;

  PicturePtr background_;
  HWND box_ = nullptr;
  HWND generate_button_ = nullptr;
};

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message,
                                       WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(
        reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetLastError(0);
    if (SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(self)) == 0 &&
        GetLastError() != 0) {
      return FALSE;
    }
  }
  auto* self = reinterpret_cast<MainWindow*>(
      GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->handle(message, wparam, lparam)
                         : DefWindowProcW(window, message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      if (!make_controls()) return -1;
      on_main_window_created(*this);
      return 0;
    case WM_ERASEBKGND:
      if (!background_) break;
      paint_background(reinterpret_cast<HDC>(wparam));
      return 1;
    case WM_PRINTCLIENT:  // themed buttons draw their corners from here
      if (!background_) break;
      paint_background(reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) break;
      switch (LOWORD(wparam)) {
        case IDC_GENERATE: generate(); return 0;
        case IDC_USAGE: on_show_usage(*this); return 0;
        case IDC_COPY: on_copy(*this); return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool MainWindow::make_controls() {
  auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  auto instance = reinterpret_cast<HINSTANCE>(
      GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  auto make = [&](DWORD ex_style, const wchar_t* kind, const Text& text,
                  DWORD style, int left, int top, int width, int height,
                  int id) {
    HWND control = CreateWindowExW(
        ex_style, kind, to_wide(text).c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, left, top, width, height,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
        nullptr);
    if (control != nullptr && font != 0) {
      SendMessageW(control, WM_SETFONT, font, FALSE);
    }
    return control;
  };
  constexpr DWORD kButton = BS_PUSHBUTTON | BS_CENTER | BS_VCENTER;
  const bool made =
      make(0, L"BUTTON", kUsageCaption, kButton, 8, 144, 97, 32, IDC_USAGE) &&
      (generate_button_ = make(0, L"BUTTON", kGenerateCaption, kButton, 127,
                               144, 97, 32, IDC_GENERATE)) &&
      make(0, L"BUTTON", kCopyCaption, kButton, 248, 144, 97, 32, IDC_COPY) &&
      (box_ = make(WS_EX_CLIENTEDGE, L"EDIT", kSampleAddress,
                   ES_AUTOHSCROLL | ES_CENTER, 81, 45, 191, 59, IDC_BOX));
  return made;
}

void MainWindow::paint_background(HDC dc) {
  RECT client;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  if (!GetClientRect(window_, &client) || FAILED(background_->get_Width(&width)) ||
      FAILED(background_->get_Height(&height))) {
    return;
  }
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  // Picture coordinates run bottom-up: start at the height and step back.
  background_->Render(dc, 0, 0, client.right, client.bottom, 0, height, width,
                      -height, nullptr);
}

void MainWindow::generate() {
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514) /* IDC_WAIT */));
  const bool written = on_generate(*this);
  SetCursor(previous);
  if (written) {
    SetFocus(box_);
    SendMessageW(box_, EM_SETSEL, 0, -1);
  }
}

Text MainWindow::read_box() {
  const int length = GetWindowTextLengthW(box_);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(box_, text.data(), length + 1)));
  return from_wide(text);
}

void MainWindow::write_box(const Text& text) {
  SetWindowTextW(box_, to_wide(text).c_str());
}

void MainWindow::message_box(const Text& text, const Text& title) {
  MessageBoxW(nullptr, to_wide(text).c_str(), to_wide(title).c_str(),
              MB_OK | MB_TASKMODAL);
}

// The window owns the clipboard while it writes: an ownerless clipboard
// refuses SetClipboardData after EmptyClipboard.
bool MainWindow::put_on_clipboard(const Text& text) {
  if (!OpenClipboard(window_)) return false;
  const std::wstring wide = to_wide(text);
  const bool stored =
      EmptyClipboard() &&
      store_on_clipboard(CF_TEXT, text.c_str(), text.size() + 1) &&
      store_on_clipboard(CF_UNICODETEXT, wide.c_str(),
                         (wide.size() + 1) * sizeof(wchar_t));
  return CloseClipboard() && stored;
}

int MainWindow::run() {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    // Keys for the window are taken here, before any control sees them: no
    // control claims Esc, and Enter in the box generates as the button does.
    if (message.message == WM_KEYDOWN &&
        (message.hwnd == window_ || IsChild(window_, message.hwnd))) {
      if (message.wParam == VK_ESCAPE) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
        continue;
      }
      if (message.wParam == VK_RETURN && message.hwnd == box_) {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_GENERATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(generate_button_));
        continue;
      }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int start_program() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (instance == nullptr) return 1;
  // COM decodes the background picture; without it the window stays plain.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int result = 1;
  {
    MainWindow main(SUCCEEDED(com) ? load_background(instance) : nullptr);
    WNDCLASSEXW kind{};
    kind.cbSize = sizeof kind;
    kind.lpfnWndProc = MainWindow::procedure;
    kind.hInstance = instance;
    kind.hIcon = LoadIconW(instance, L"DEFAULT_ICON");
    kind.hIconSm = static_cast<HICON>(LoadImageW(
        instance, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    kind.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    kind.lpszClassName = kClassName;
    if (RegisterClassExW(&kind) != 0 ||
        GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
      const int left = (GetSystemMetrics(SM_CXSCREEN) - kOuterWidth) / 2;
      const int top = (GetSystemMetrics(SM_CYSCREEN) - kOuterHeight) / 2;
      HWND window = CreateWindowExW(
          0, kClassName, to_wide(kWindowTitle).c_str(),
          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
              WS_CLIPCHILDREN,
          left, top, kOuterWidth, kOuterHeight, nullptr, nullptr, instance,
          &main);
      if (window != nullptr) {
        ShowWindow(window, SW_SHOWDEFAULT);
        UpdateWindow(window);
        result = main.run();
      }
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}

}  // namespace quoril
