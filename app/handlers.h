// The three commands of the main window, written against four operations of
// whatever window system shows it, and the fixed texts the window displays.
// All texts are code page 936 (GBK) bytes.
#pragma once

#include "app/short_link.h"
#include "text/text.h"

namespace quoril {

// What the handlers need of the window.
class Ui {
 public:
  virtual ~Ui() = default;
  // Exactly what the edit box shows; empty for an empty box.
  virtual Text read_box() = 0;
  // The box shows `text` from then on, replacing all it held.
  virtual void write_box(const Text& text) = 0;
  // A modal box with `text`, `title` and an OK button; returns when dismissed.
  virtual void message_box(const Text& text, const Text& title) = 0;
  // Stores `text` as the clipboard's plain text; false when that failed.
  virtual bool put_on_clipboard(const Text& text) = 0;
};

inline constexpr char kWindowTitle[] = "Quoril";
inline constexpr char kUsageCaption[] =
    "\xCA\xB9\xD3\xC3\xCB\xB5\xC3\xF7";  // 使用说明
inline constexpr char kGenerateCaption[] = "\xC9\xFA\xB3\xC9";  // 生成
inline constexpr char kCopyCaption[] = "\xB8\xB4\xD6\xC6";      // 复制
inline constexpr char kSampleAddress[] = "http://www.baidu.com/";

using ShortLinkRequest = ShortLinkReply (*)(const Text& long_address);

// Nothing: the window needs no preparation of the handlers.
void on_main_window_created(Ui& ui);

// Asks for the short link of the box's text and puts it into the box. When
// none comes back the box keeps the address and a message says why; a box of
// spaces only asks for nothing. True when a short link was written.
bool on_generate(Ui& ui, ShortLinkRequest request = request_short_link);

// The fixed usage notice, titled 使用说明.
void on_show_usage(Ui& ui);

// Puts the box's text on the clipboard and says whether that worked.
void on_copy(Ui& ui);

}  // namespace quoril
