// Object ids of the form DRAVEL_MARKS and its controls, and the positions
// of the object table through which the procedures reach them.
#ifndef COMMON_FORM_IDS_H_
#define COMMON_FORM_IDS_H_

#include <cstddef>
#include <cstdint>

namespace dravel::ids {

inline constexpr std::int32_t form = 0x07000001;
inline constexpr std::int32_t bt_exc = 0x07000B74;
inline constexpr std::int32_t ed_codimar = 0x07001291;
inline constexpr std::int32_t command1 = 0x07001292;
inline constexpr std::int32_t ds_mar = 0x07001293;
inline constexpr std::int32_t frame7 = 0x07001294;
inline constexpr std::int32_t image1 = 0x07001295;
inline constexpr std::int32_t static66 = 0x07001296;
inline constexpr std::int32_t frm_chave1 = 0x07001297;
inline constexpr std::int32_t frm_dsp = 0x0700129E;

}  // namespace dravel::ids

namespace dravel::table {

// Positions in the object table. Position 0 is the form; the program uses
// 4, 6 and 11. Positions 9 and 10 are unused.
inline constexpr std::size_t form = 0;
inline constexpr std::size_t frm_chave1 = 1;
inline constexpr std::size_t image1 = 2;
inline constexpr std::size_t static66 = 3;
inline constexpr std::size_t ed_codimar = 4;
inline constexpr std::size_t command1 = 5;
inline constexpr std::size_t ds_mar = 6;
inline constexpr std::size_t frame7 = 7;
inline constexpr std::size_t bt_exc = 8;
inline constexpr std::size_t frm_dsp = 11;

}  // namespace dravel::table

#endif  // COMMON_FORM_IDS_H_
