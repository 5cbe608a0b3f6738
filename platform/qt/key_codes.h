// Qt's keys as Windows virtual-key codes and shift state, the values a form
// program's key-down procedure sees.
#ifndef PLATFORM_QT_KEY_CODES_H_
#define PLATFORM_QT_KEY_CODES_H_

#include <Qt>
#include <cstdint>

namespace vantrexo::qt {

inline constexpr std::int16_t kKeyTab = 9;
inline constexpr std::int16_t kKeyEnter = 13;
inline constexpr std::int16_t kShiftDown = 1;
inline constexpr std::int16_t kCtrlDown = 2;
inline constexpr std::int16_t kAltDown = 4;

struct WindowsKey {
  std::int16_t code = 0;   // 0 for a key without a virtual-key code here
  std::int16_t shift = 0;  // 1 Shift, 2 Ctrl, 4 Alt
};

// `key` is a Qt::Key. Shift+Tab (Qt's Backtab) is Tab with Shift; keypad
// keys take the keypad's codes.
WindowsKey windows_key(int key, Qt::KeyboardModifiers modifiers);

}  // namespace vantrexo::qt

#endif  // PLATFORM_QT_KEY_CODES_H_
