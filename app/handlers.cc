#include "app/handlers.h"

#include "text/text_ops.h"

namespace quoril {
namespace {

constexpr char kUsageNotice[] =  // 本软件仅限用于学习目的，不得将本软件用于商业或者
    // 非法用途，否则后果用户自负与作者无关！！Q群：839204716
    "\xB1\xBE\xC8\xED\xBC\xFE\xBD\xF6\xCF\xDE\xD3\xC3\xD3\xDA\xD1\xA7\xCF\xB0"
    "\xC4\xBF\xB5\xC4\xA3\xAC\xB2\xBB\xB5\xC3\xBD\xAB\xB1\xBE\xC8\xED\xBC\xFE"
    "\xD3\xC3\xD3\xDA\xC9\xCC\xD2\xB5\xBB\xF2\xD5\xDF\xB7\xC7\xB7\xA8\xD3\xC3"
    "\xCD\xBE\xA3\xAC\xB7\xF1\xD4\xF2\xBA\xF3\xB9\xFB\xD3\xC3\xBB\xA7\xD7\xD4"
    "\xB8\xBA\xD3\xEB\xD7\xF7\xD5\xDF\xCE\xDE\xB9\xD8\xA3\xA1\xA3\xA1Q\xC8\xBA"
    "\xA3\xBA" "839204716";
constexpr char kTipTitle[] = "Tavrin\xCE\xC2\xDC\xB0\xCC\xE1\xCA\xBE";  // Tavrin温馨提示
constexpr char kCopyDone[] = "\xB8\xB4\xD6\xC6\xB3\xC9\xB9\xA6";  // 复制成功
// 复制失败：无法打开剪贴板或无法存入文本。
constexpr char kCopyFailed[] =
    "\xB8\xB4\xD6\xC6\xCA\xA7\xB0\xDC\xA3\xBA\xCE\xDE\xB7\xA8\xB4\xF2\xBF\xAA"
    "\xBC\xF4\xCC\xF9\xB0\xE5\xBB\xF2\xCE\xDE\xB7\xA8\xB4\xE6\xC8\xEB\xCE\xC4"
    "\xB1\xBE\xA1\xA3";
// 请先输入要缩短的网址。
constexpr char kNeedAddress[] =
    "\xC7\xEB\xCF\xC8\xCA\xE4\xC8\xEB\xD2\xAA\xCB\xF5\xB6\xCC\xB5\xC4\xCD\xF8"
    "\xD6\xB7\xA1\xA3";
// 未能获取短链接：无法连接到短链接服务（没有响应或超时）。
constexpr char kNotReached[] =
    "\xCE\xB4\xC4\xDC\xBB\xF1\xC8\xA1\xB6\xCC\xC1\xB4\xBD\xD3\xA3\xBA\xCE\xDE"
    "\xB7\xA8\xC1\xAC\xBD\xD3\xB5\xBD\xB6\xCC\xC1\xB4\xBD\xD3\xB7\xFE\xCE\xF1"
    "\xA3\xA8\xC3\xBB\xD3\xD0\xCF\xEC\xD3\xA6\xBB\xF2\xB3\xAC\xCA\xB1\xA3\xA9"
    "\xA1\xA3";
// 未能获取短链接：服务返回“ ... ”，但其中没有短链接。
constexpr char kAnsweredHead[] =
    "\xCE\xB4\xC4\xDC\xBB\xF1\xC8\xA1\xB6\xCC\xC1\xB4\xBD\xD3\xA3\xBA\xB7\xFE"
    "\xCE\xF1\xB7\xB5\xBB\xD8\xA1\xB0";
constexpr char kAnsweredTail[] =
    "\xA1\xB1\xA3\xAC\xB5\xAB\xC6\xE4\xD6\xD0\xC3\xBB\xD3\xD0\xB6\xCC\xC1\xB4"
    "\xBD\xD3\xA1\xA3";

// A status line fits a message box: at most 100 bytes, cut between units.
Text shown_status(const Text& line) {
  constexpr int kMax = 100;
  int end = 0;
  while (end < text_len(line)) {
    const int unit = static_cast<unsigned char>(line[end]) >= 0x80 ? 2 : 1;
    if (end + unit > kMax) return join_texts(take_left(line, end), "...");
    end += unit;
  }
  return line;
}

}  // namespace

void on_main_window_created(Ui&) {}

bool on_generate(Ui& ui, ShortLinkRequest request) {
  const Text address = ui.read_box();
  if (trim_spaces(address).empty()) {
    ui.message_box(kNeedAddress, kTipTitle);
    return false;
  }
  const ShortLinkReply reply = request(address);
  if (!reply.link.empty()) {
    ui.write_box(reply.link);
    return true;
  }
  ui.message_box(reply.answered ? join_texts(kAnsweredHead,
                                             shown_status(reply.status_line),
                                             kAnsweredTail)
                                : Text(kNotReached),
                 kTipTitle);
  return false;
}

void on_show_usage(Ui& ui) { ui.message_box(kUsageNotice, kUsageCaption); }

void on_copy(Ui& ui) {
  const bool stored = ui.put_on_clipboard(ui.read_box());
  ui.message_box(stored ? kCopyDone : kCopyFailed, kTipTitle);
}

}  // namespace quoril
