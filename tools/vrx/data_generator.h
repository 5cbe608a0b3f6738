// Generated data sets of the six files, for the demo and for benchmarks.
//
// A data set has `brands` brands, each with `products_per_brand` products,
// and each product (except every n-th, when asked) has its value-history and
// movement-history records. Everything is derived from the plan and its
// seed: the same plan gives the same bytes. Records are streamed into the
// engine's load in chunks, one transaction per file, so memory stays small
// whatever the size of the set.
//
// Codes, so that callers can find what was generated:
// - brand b (from 0) has the code brand_code(b): a letter and two digits,
//   ascending with b ("A01", "A02", ..., "A99", "B00", ...);
// - product j (from 0) of brand b has the code product_code(b, j, plan), six
//   digits, ascending with (b, j) and unique; its PRO-COMPL-MARCA is j + 1,
//   except that the very first product of the set has "000000";
// - the history keys of a product are its code followed by fifteen digits,
//   unique and ascending in generation order.
//
// Not thread-safe for one drive; distinct drives may be generated at once.
#ifndef TOOLS_VRX_DATA_GENERATOR_H_
#define TOOLS_VRX_DATA_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vrx::tool {

// Changes whenever the same plan would give other bytes, so that caches of
// generated data sets can tell a stale set from a current one.
inline constexpr int kGeneratorVersion = 2;

struct DataSetPlan {
  std::size_t brands = 12;
  std::size_t products_per_brand = 8;
  std::size_t value_history_per_product = 4;     // HISTVAL records
  std::size_t movement_history_per_product = 6;  // HISTMOV records
  // Product p (counted from 1 over the whole set) has no history records
  // when p is a multiple of this; 0: every product has them.
  std::size_t products_without_history_every = 0;
  std::uint64_t seed = 1;
  // The USUARIO record's user name (Windows-1252); empty: the operator's.
  std::string user_name;
  // Replace files that exist already; otherwise an existing file is a failure
  // and nothing is written.
  bool replace_existing = false;
  // Called now and then with the file being loaded and its records so far.
  std::function<void(std::string_view name, std::size_t records)> progress;
};

struct DataSetCounts {
  std::size_t brands = 0;
  std::size_t products = 0;
  std::size_t products_without_history = 0;
  std::size_t value_history = 0;
  std::size_t movement_history = 0;
  std::string user_name;         // as stored, Windows-1252, without the filling spaces
  std::filesystem::path folder;  // where the six files are
};

struct GenerateResult {
  bool ok = true;
  std::string file;     // logical name of the file that failed
  std::string message;  // what went wrong
  DataSetCounts counts;
};

// The largest set the codes can express.
inline constexpr std::size_t kMaxBrands = 2599;
inline constexpr std::size_t kMaxProducts = 999999;

std::string brand_code(std::size_t brand);
std::string product_code(std::size_t brand, std::size_t product, const DataSetPlan& plan);
// The brand description (Windows-1252, at most 25 characters), unique per brand.
std::string brand_description(std::size_t brand);

// The demo set: a dozen brands of eight products, every fifth product
// without histories.
DataSetPlan demo_plan();

// Writes PARAMET, USUARIO, TABEMAR, PRODUTO, HISTVAL and HISTMOV under `drive`.
GenerateResult generate_data_set(const std::filesystem::path& drive, const DataSetPlan& plan);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_DATA_GENERATOR_H_
