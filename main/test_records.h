// Records for the end-to-end tests of the executables: space-filled, with
// just the fields the deletion looks at set.
#ifndef MAIN_TEST_RECORDS_H_
#define MAIN_TEST_RECORDS_H_

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "data/catalogue.h"
#include "data/record.h"
#include "data/record_layouts.h"

namespace dravel::testing {

inline std::string product(std::string_view code, std::string_view brand,
                           std::string_view compl_marca, std::string_view description) {
  Record r(layout::produto::record_length);
  std::fill(r.area().begin(), r.area().end(), ' ');
  r.set_text(layout::produto::pro_codipro, code);
  r.set_text(layout::produto::pro_descpro, description);
  r.set_text(layout::produto::pro_codimar, brand);
  r.set_text(layout::produto::pro_compl_marca, compl_marca);
  return {r.area().begin(), r.area().end()};
}

// A value or movement history record of product `code`; `rest` is the other
// 15 characters of its primary key.
inline std::string history(std::size_t length, std::string_view code, std::string_view rest) {
  Record r(length);
  std::fill(r.area().begin(), r.area().end(), ' ');
  r.set_text(layout::history::codipro, code);
  r.set_text({6, 15}, rest);
  return {r.area().begin(), r.area().end()};
}

// A record of `file` with `key` at its start.
inline std::string record_of(FileId file, std::string_view key) {
  Record r(describe(file).record_length);
  std::fill(r.area().begin(), r.area().end(), ' ');
  r.set_text({0, key.size()}, key);
  return {r.area().begin(), r.area().end()};
}

}  // namespace dravel::testing

#endif  // MAIN_TEST_RECORDS_H_
