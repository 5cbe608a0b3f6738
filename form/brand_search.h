// The brand search (EVENTO-10, defined in brand_search.cc): the system's
// lookup component is run modally for the brand table; it reads LK-TABELA
// and leaves the chosen code in LK-CODIGO of the shared area L-LINK.
#ifndef FORM_BRAND_SEARCH_H_
#define FORM_BRAND_SEARCH_H_

#include <string_view>

namespace dravel::lookup {

// The lookup component: its form and the module file that holds it.
inline constexpr std::string_view form_name = "99-Qrv_Tabelas";
inline constexpr std::string_view module_file = "999999-Quervilos.DLL";
// The code of the brand table for LK-TABELA.
inline constexpr std::string_view brand_table = "MAR";

}  // namespace dravel::lookup

#endif  // FORM_BRAND_SEARCH_H_
