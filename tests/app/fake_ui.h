// A window that is only memory: what the commands read, write, show and copy.
#pragma once

#include <utility>
#include <vector>

#include "app/handlers.h"

namespace quoril::test {

struct FakeUi : Ui {
  Text box;
  Text clipboard = "untouched";
  bool clipboard_works = true;
  int writes = 0;
  std::vector<std::pair<Text, Text>> shown;  // text, title

  Text read_box() override { return box; }
  void write_box(const Text& text) override {
    box = text;
    ++writes;
  }
  void message_box(const Text& text, const Text& title) override {
    shown.emplace_back(text, title);
  }
  bool put_on_clipboard(const Text& text) override {
    if (!clipboard_works) return false;
    clipboard = text;
    return true;
  }
};

}  // namespace quoril::test
