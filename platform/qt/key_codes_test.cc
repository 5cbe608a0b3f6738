#include "platform/qt/key_codes.h"

#include <gtest/gtest.h>

namespace vantrexo::qt {
namespace {

TEST(WindowsKey, QtKeysBecomeVirtualKeyCodesWithTheirShiftState) {
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    int code;
    int shift;
  };
  const Case cases[] = {
      {Qt::Key_Return, Qt::NoModifier, 13, 0},
      {Qt::Key_Enter, Qt::KeypadModifier, 13, 0},
      {Qt::Key_Return, Qt::ShiftModifier, 13, 1},
      {Qt::Key_Return, Qt::ControlModifier | Qt::AltModifier, 13, 6},
      {Qt::Key_Tab, Qt::NoModifier, 9, 0},
      {Qt::Key_Backtab, Qt::ShiftModifier, 9, 1},
      {Qt::Key_Backtab, Qt::NoModifier, 9, 1},
      {Qt::Key_A, Qt::NoModifier, 0x41, 0},
      {Qt::Key_Z, Qt::ShiftModifier, 0x5A, 1},
      {Qt::Key_0, Qt::NoModifier, 0x30, 0},
      {Qt::Key_7, Qt::KeypadModifier, 0x67, 0},
      {Qt::Key_F1, Qt::NoModifier, 0x70, 0},
      {Qt::Key_F12, Qt::NoModifier, 0x7B, 0},
      {Qt::Key_Escape, Qt::NoModifier, 27, 0},
      {Qt::Key_Space, Qt::NoModifier, 32, 0},
      {Qt::Key_Delete, Qt::NoModifier, 46, 0},
      {Qt::Key_Left, Qt::NoModifier, 37, 0},
      {Qt::Key_Down, Qt::NoModifier, 40, 0},
      {Qt::Key_Ccedilla, Qt::NoModifier, 0, 0},  // no code of its own here
  };
  for (const Case& c : cases) {
    const WindowsKey k = windows_key(c.key, c.modifiers);
    EXPECT_EQ(k.code, c.code) << std::hex << c.key;
    EXPECT_EQ(k.shift, c.shift) << std::hex << c.key;
  }
}

}  // namespace
}  // namespace vantrexo::qt
