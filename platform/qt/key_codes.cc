#include "platform/qt/key_codes.h"

#include <array>
#include <utility>

namespace vantrexo::qt {
namespace {

// Keys whose code does not follow from a range below.
constexpr std::array<std::pair<int, int>, 38> kKeys = {{
    {Qt::Key_Backspace, 0x08},   {Qt::Key_Tab, 0x09},        {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},       {Qt::Key_Return, 0x0D},     {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},       {Qt::Key_Control, 0x11},    {Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, 0x13},       {Qt::Key_CapsLock, 0x14},   {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},       {Qt::Key_PageUp, 0x21},     {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},         {Qt::Key_Home, 0x24},       {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},          {Qt::Key_Right, 0x27},      {Qt::Key_Down, 0x28},
    {Qt::Key_Print, 0x2C},       {Qt::Key_Insert, 0x2D},     {Qt::Key_Delete, 0x2E},
    {Qt::Key_Help, 0x2F},        {Qt::Key_Meta, 0x5B},       {Qt::Key_Menu, 0x5D},
    {Qt::Key_NumLock, 0x90},     {Qt::Key_ScrollLock, 0x91}, {Qt::Key_Semicolon, 0xBA},
    {Qt::Key_Equal, 0xBB},       {Qt::Key_Comma, 0xBC},      {Qt::Key_Minus, 0xBD},
    {Qt::Key_Period, 0xBE},      {Qt::Key_Slash, 0xBF},      {Qt::Key_QuoteLeft, 0xC0},
    {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_Apostrophe, 0xDE},
}};

// The keypad's own codes for what Qt reports as ordinary keys.
int keypad_code(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Asterisk:
      return 0x6A;
    case Qt::Key_Plus:
      return 0x6B;
    case Qt::Key_Minus:
      return 0x6D;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return 0x6E;
    case Qt::Key_Slash:
      return 0x6F;
    default:
      return 0;
  }
}

int code_of(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (const int code = keypad_code(key)) return code;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
  for (const auto& [qt_key, code] : kKeys) {
    if (qt_key == key) return code;
  }
  return 0;
}

}  // namespace

WindowsKey windows_key(int key, Qt::KeyboardModifiers modifiers) {
  WindowsKey out;
  out.code = static_cast<std::int16_t>(code_of(key, modifiers));
  if ((modifiers & Qt::ShiftModifier) || key == Qt::Key_Backtab) out.shift |= kShiftDown;
  if (modifiers & Qt::ControlModifier) out.shift |= kCtrlDown;
  if (modifiers & Qt::AltModifier) out.shift |= kAltDown;
  return out;
}

}  // namespace vantrexo::qt
