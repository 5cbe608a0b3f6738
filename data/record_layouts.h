// The fields of the six records that this program reads, sets or compares,
// and the key groups built from them. Every other stretch of a record is
// kept byte for byte as the file holds it and is not named here.
#ifndef DATA_RECORD_LAYOUTS_H_
#define DATA_RECORD_LAYOUTS_H_

#include <cstddef>

#include "data/record.h"

namespace dravel::layout {

namespace paramet {
inline constexpr std::size_t record_length = 10361;
inline constexpr Field par_chave{0, 1};  // digits, primary key
}  // namespace paramet

namespace usuario {
inline constexpr std::size_t record_length = 11893;
inline constexpr Field usu_nome{0, 20};  // text, primary key
}  // namespace usuario

namespace tabemar {
inline constexpr std::size_t record_length = 31;
inline constexpr Field mar_codimar{0, 3};      // text, primary key
inline constexpr Field mar_descmar{3, 25};     // text
inline constexpr Field mar_chave_desc{3, 28};  // alternate key 1, no duplicates
}  // namespace tabemar

namespace produto {
inline constexpr std::size_t record_length = 778;
inline constexpr Field pro_codipro{0, 6};       // digits, primary key
inline constexpr Field pro_descpro{42, 40};     // text
inline constexpr Field pro_chave_desc{42, 46};  // alternate key 3, duplicates
inline constexpr Field pro_codimar{88, 3};      // text
inline constexpr Field pro_compl_marca{91, 6};  // digits
inline constexpr Field pro_chave_marca{88, 9};  // alternate key 4, duplicates
inline constexpr std::size_t brand_key = 4;
}  // namespace produto

// HISTVAL and HISTMOV share the layout of their primary key.
namespace history {
inline constexpr Field codipro{0, 6};  // digits
inline constexpr Field compl_1{6, 8};  // digits
inline constexpr Field compl_2{14, 4};
inline constexpr Field compl_3{18, 2};
inline constexpr Field compl_4{20, 1};
inline constexpr Field chave{0, 21};  // primary key
}  // namespace history

namespace histval {
inline constexpr std::size_t record_length = 121;
inline constexpr Field hvl_codipro = history::codipro;
inline constexpr Field hvl_compl_1 = history::compl_1;
inline constexpr Field hvl_compl_2 = history::compl_2;
inline constexpr Field hvl_compl_3 = history::compl_3;
inline constexpr Field hvl_compl_4 = history::compl_4;
inline constexpr Field hvl_chave = history::chave;
}  // namespace histval

namespace histmov {
inline constexpr std::size_t record_length = 311;
inline constexpr Field hmv_codipro = history::codipro;
inline constexpr Field hmv_compl_1 = history::compl_1;
inline constexpr Field hmv_compl_2 = history::compl_2;
inline constexpr Field hmv_compl_3 = history::compl_3;
inline constexpr Field hmv_compl_4 = history::compl_4;
inline constexpr Field hmv_chave = history::chave;
}  // namespace histmov

}  // namespace dravel::layout

#endif  // DATA_RECORD_LAYOUTS_H_
