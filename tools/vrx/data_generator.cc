#include "tools/vrx/data_generator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <istream>
#include <span>
#include <streambuf>
#include <string_view>
#include <vector>

#include "data/catalogue.h"
#include "data/record.h"
#include "data/record_layouts.h"
#include "platform/files/sqlite_store.h"
#include "platform/shared_areas.h"

namespace vrx::tool {
namespace {

using dravel::Field;
using dravel::FileId;
using dravel::Record;
namespace layout = dravel::layout;

// Stretches the program does not use, filled here with what the rest of the
// system would keep there.
namespace produto_extra {
inline constexpr Field referencia{6, 18};      // maker's reference (alternate key 1)
inline constexpr Field codigo_barras{24, 18};  // EAN-13 (alternate key 2)
inline constexpr Field unidade{82, 6};         // unit (end of alternate key 3)
}  // namespace produto_extra

namespace histval_extra {
inline constexpr Field preco_venda{21, 11};  // cents
inline constexpr Field preco_custo{32, 11};  // cents
inline constexpr Field usuario{43, 20};
inline constexpr Field motivo{63, 30};
}  // namespace histval_extra

// Alternate key 1: the product's movements by date (product, date, kind,
// document). Generated in ascending order, which keeps big loads fast.
namespace histmov_extra {
inline constexpr Field codipro{21, 6};
inline constexpr Field data{27, 8};
inline constexpr Field tipo{35, 1};             // "E" entrada, "S" saida
inline constexpr Field documento{36, 12};       // alternate key 1 ends at 76
inline constexpr Field quantidade{76, 11};      // thousandths
inline constexpr Field valor_unitario{87, 11};  // cents
inline constexpr Field historico{98, 30};
inline constexpr Field usuario{128, 20};
}  // namespace histmov_extra

// Windows-1252 texts.
constexpr std::array<std::string_view, 12> kBrandNames = {
    "Ferramentas S\xE3o Jorge", "El\xE9trica Paran\xE1",       "Metal\xFArgica Tiet\xEA",
    "Tintas Ara\xE7\xE1",       "Hidr\xE1ulica Igua\xE7u",     "Parafusos Catarinense",
    "Ferragens Maranh\xE3o",    "Ilumina\xE7\xE3o Potiguar",   "Cer\xE2mica S\xE3o Caetano",
    "Borrachas Uni\xE3o",       "Constru\xE7\xE3o Goi\xE2nia", "Utilidades Rond\xF4nia"};

constexpr std::array<std::string_view, 20> kProductNouns = {"Alicate universal",
                                                            "Chave de fenda",
                                                            "Martelo de unha",
                                                            "Serrote",
                                                            "Trena",
                                                            "Parafuso sextavado",
                                                            "L\xE2mpada LED",
                                                            "Fita isolante",
                                                            "Disjuntor",
                                                            "Tomada 2P+T",
                                                            "Cabo flex\xEDvel",
                                                            "Interruptor simples",
                                                            "Broca para concreto",
                                                            "Lixa d'\xE1gua",
                                                            "Pincel",
                                                            "Rolo de l\xE3",
                                                            "Cadeado",
                                                            "Fechadura",
                                                            "Torneira",
                                                            "Registro de press\xE3o"};

constexpr std::array<std::string_view, 12> kProductQualifiers = {
    "8 pol.", "1/4 x 6", "9W bivolt",  "20A",    "2,5 mm\xB2", "n\xBA 10",
    "3/8",    "cromado", "m\xE9trico", "grande", "pequeno",    "azul"};

constexpr std::array<std::string_view, 5> kUnits = {"UN", "PC", "CX", "KG", "MT"};

constexpr std::array<std::string_view, 4> kPriceReasons = {
    "Reajuste de pre\xE7o", "Promo\xE7\xE3o", "Corre\xE7\xE3o de custo", "Tabela do fornecedor"};

constexpr std::array<std::string_view, 2> kIncomingTexts = {"Compra de fornecedor",
                                                            "Devolu\xE7\xE3o de cliente"};
constexpr std::array<std::string_view, 3> kOutgoingTexts = {
    "Venda balc\xE3o", "Ajuste de invent\xE1rio", "Transfer\xEAncia entre lojas"};

constexpr std::array<std::string_view, 4> kClerks = {"ana.souza", "carlos.lima", "joao.pereira",
                                                     "marta.rocha"};

// A deterministic draw from (seed, stream, a, b): splitmix64 finalisation.
std::uint64_t draw(std::uint64_t seed, std::uint64_t stream, std::uint64_t a, std::uint64_t b = 0) {
  std::uint64_t x = seed * 0x9E3779B97F4A7C15ULL + stream * 0xBF58476D1CE4E5B9ULL +
                    a * 0x94D049BB133111EBULL + b * 0x2545F4914F6CDD1DULL;
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBULL;
  x ^= x >> 31;
  return x;
}

template <std::size_t N>
std::string_view pick(const std::array<std::string_view, N>& list, std::uint64_t value) {
  return list[value % N];
}

// Days since 1970-01-01 as YYYYMMDD.
std::uint64_t calendar_date(std::int64_t days) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{days}}};
  return static_cast<std::uint64_t>(static_cast<int>(ymd.year())) * 10000 +
         std::uint64_t{static_cast<unsigned>(ymd.month())} * 100 + static_cast<unsigned>(ymd.day());
}

const std::int64_t kFirstDay =
    std::chrono::sys_days{std::chrono::year{2018} / 1 / 1}.time_since_epoch().count();

// Hands `count` records of the record's length to a reader, generating them
// chunk by chunk with `next`, which writes the following record.
class GeneratedRecords : public std::streambuf {
 public:
  using Next = std::function<void(Record&)>;

  GeneratedRecords(std::size_t record_length, std::size_t count, Next next)
      : record_(record_length),
        remaining_(count),
        per_chunk_(std::max<std::size_t>(1, kChunkBytes / record_length)),
        next_(std::move(next)) {
    chunk_.reserve(per_chunk_ * record_length);
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (remaining_ == 0) return traits_type::eof();
    const std::size_t n = std::min(per_chunk_, remaining_);
    chunk_.clear();
    for (std::size_t i = 0; i < n; ++i) {
      next_(record_);
      const auto bytes = record_.area();
      chunk_.insert(chunk_.end(), bytes.begin(), bytes.end());
    }
    remaining_ -= n;
    setg(chunk_.data(), chunk_.data(), chunk_.data() + chunk_.size());
    return traits_type::to_int_type(*gptr());
  }

 private:
  static constexpr std::size_t kChunkBytes = std::size_t{256} * 1024;
  Record record_;
  std::size_t remaining_;
  std::size_t per_chunk_;
  Next next_;
  std::vector<char> chunk_;
};

void fill_spaces(Record& record) { std::fill(record.area().begin(), record.area().end(), ' '); }

std::string ean13(std::uint64_t body) {
  std::string digits = "789" + std::to_string(1000000000ULL + body % 1000000000ULL).substr(1);
  int sum = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    sum += (digits[i] - '0') * (i % 2 == 0 ? 1 : 3);
  }
  digits += static_cast<char>('0' + (10 - sum % 10) % 10);
  return digits;
}

// Walks the history records of every product that has them, in key order.
class HistoryWalk {
 public:
  HistoryWalk(const DataSetPlan& plan, std::size_t per_product, std::uint64_t stream)
      : plan_(plan), per_product_(per_product), stream_(stream) {}

  static bool has_history(const DataSetPlan& plan, std::size_t product_index) {
    const std::size_t every = plan.products_without_history_every;
    return every == 0 || (product_index + 1) % every != 0;
  }

  // Moves to the next record: sets product(), brand(), index() and day().
  void advance() {
    if (started_ && ++index_ < per_product_) {
      day_ += 1 + static_cast<std::int64_t>(draw(plan_.seed, stream_, product_, index_) % 9);
      return;
    }
    if (started_) ++product_;
    started_ = true;
    while (!has_history(plan_, product_)) ++product_;
    index_ = 0;
    day_ = kFirstDay + static_cast<std::int64_t>(draw(plan_.seed, stream_, product_) % 400);
  }

  std::size_t product() const { return product_; }
  std::size_t brand() const { return product_ / plan_.products_per_brand; }
  std::size_t within_brand() const { return product_ % plan_.products_per_brand; }
  std::size_t index() const { return index_; }
  std::int64_t day() const { return day_; }

 private:
  const DataSetPlan& plan_;
  std::size_t per_product_;
  std::uint64_t stream_;
  bool started_ = false;
  std::size_t product_ = 0;
  std::size_t index_ = 0;
  std::int64_t day_ = 0;
};

void write_history_key(Record& record, const HistoryWalk& walk, const DataSetPlan& plan,
                       std::uint64_t compl_2, std::uint64_t compl_3, std::uint64_t compl_4) {
  record.set_text(layout::history::codipro, product_code(walk.brand(), walk.within_brand(), plan));
  record.set_number(layout::history::compl_1, calendar_date(walk.day()));
  record.set_number(layout::history::compl_2, compl_2);
  record.set_number(layout::history::compl_3, compl_3);
  record.set_number(layout::history::compl_4, compl_4);
}

struct FileLoad {
  FileId file;
  std::size_t count;
  GeneratedRecords::Next next;
};

std::vector<std::filesystem::path> companions(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> paths = {path};
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    paths.emplace_back(path.string() + suffix);
  }
  return paths;
}

}  // namespace

std::string brand_code(std::size_t brand) {
  const std::size_t n = brand + 1;
  std::string code(3, ' ');
  code[0] = static_cast<char>('A' + n / 100);
  code[1] = static_cast<char>('0' + n / 10 % 10);
  code[2] = static_cast<char>('0' + n % 10);
  return code;
}

std::string product_code(std::size_t brand, std::size_t product, const DataSetPlan& plan) {
  const std::size_t n = brand * plan.products_per_brand + product + 1;
  return std::to_string(1000000 + n % 1000000).substr(1);
}

std::string brand_description(std::size_t brand) {
  std::string text(kBrandNames[brand % kBrandNames.size()]);
  if (brand >= kBrandNames.size()) text += " " + std::to_string(brand / kBrandNames.size() + 1);
  return text;
}

DataSetPlan demo_plan() {
  DataSetPlan plan;
  plan.brands = 12;
  plan.products_per_brand = 8;
  plan.value_history_per_product = 4;
  plan.movement_history_per_product = 6;
  plan.products_without_history_every = 5;
  return plan;
}

GenerateResult generate_data_set(const std::filesystem::path& drive, const DataSetPlan& plan) {
  GenerateResult result;
  if (plan.brands > kMaxBrands) {
    result.ok = false;
    result.message = "at most " + std::to_string(kMaxBrands) + " brands";
    return result;
  }
  if (plan.brands * plan.products_per_brand > kMaxProducts) {
    result.ok = false;
    result.message = "at most " + std::to_string(kMaxProducts) + " products";
    return result;
  }
  if (plan.value_history_per_product > 100000 || plan.movement_history_per_product > 100000) {
    result.ok = false;
    result.message = "at most 100000 history records of each kind per product";
    return result;
  }

  DataSetCounts& counts = result.counts;
  counts.brands = plan.brands;
  counts.products = plan.brands * plan.products_per_brand;
  for (std::size_t p = 0; p < counts.products; ++p) {
    if (!HistoryWalk::has_history(plan, p)) ++counts.products_without_history;
  }
  const std::size_t with_history = counts.products - counts.products_without_history;
  counts.value_history = with_history * plan.value_history_per_product;
  counts.movement_history = with_history * plan.movement_history_per_product;
  const std::string user = plan.user_name.empty() ? vantrexo::operator_user_name() : plan.user_name;
  counts.user_name = user.substr(0, layout::usuario::usu_nome.length);
  counts.user_name.erase(counts.user_name.find_last_not_of(' ') + 1);
  counts.folder =
      map_catalogue_path(dravel::describe(FileId::paramet).catalogue_path, drive).parent_path();

  // Existing files: refuse, or clear them out with SQLite's companions. The
  // engine's lock file stays: another program may hold locks in it, and a
  // new lock file beside it would hide them.
  for (FileId id : dravel::kAllFiles) {
    const FileDescription& description = dravel::describe(id);
    const std::filesystem::path path = map_catalogue_path(description.catalogue_path, drive);
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (exists && !plan.replace_existing) {
      result.ok = false;
      result.file = description.name;
      result.message = "exists already at " + path.string();
      return result;
    }
    for (const std::filesystem::path& p : companions(path)) {
      if (plan.replace_existing && std::filesystem::exists(p, ec) &&
          !std::filesystem::remove(p, ec)) {
        result.ok = false;
        result.file = description.name;
        result.message = "cannot remove " + p.string() + ": " + ec.message();
        return result;
      }
    }
  }

  const DataSetPlan& s = plan;
  std::vector<FileLoad> loads;
  loads.push_back({FileId::paramet, 1, [](Record& r) {
                     fill_spaces(r);
                     r.set_text(layout::paramet::par_chave, "1");
                   }});
  loads.push_back({FileId::usuario, 1, [&counts](Record& r) {
                     fill_spaces(r);
                     r.set_text(layout::usuario::usu_nome, counts.user_name);
                   }});
  loads.push_back({FileId::tabemar, s.brands, [brand = std::size_t{0}](Record& r) mutable {
                     fill_spaces(r);
                     r.set_text(layout::tabemar::mar_codimar, brand_code(brand));
                     r.set_text(layout::tabemar::mar_descmar, brand_description(brand));
                     ++brand;
                   }});
  loads.push_back({FileId::produto, counts.products, [&s, p = std::size_t{0}](Record& r) mutable {
                     const std::size_t brand = p / s.products_per_brand;
                     const std::size_t j = p % s.products_per_brand;
                     fill_spaces(r);
                     r.set_text(layout::produto::pro_codipro, product_code(brand, j, s));
                     r.set_text(produto_extra::referencia,
                                brand_code(brand) + "-" +
                                    std::to_string(10000 + draw(s.seed, 1, p) % 90000));
                     r.set_text(produto_extra::codigo_barras, ean13(draw(s.seed, 2, p)));
                     std::string description(pick(kProductNouns, draw(s.seed, 3, p)));
                     description += ' ';
                     description += pick(kProductQualifiers, draw(s.seed, 4, p));
                     r.set_text(layout::produto::pro_descpro, description);
                     r.set_text(produto_extra::unidade, pick(kUnits, draw(s.seed, 5, p)));
                     r.set_text(layout::produto::pro_codimar, brand_code(brand));
                     r.set_number(layout::produto::pro_compl_marca, p == 0 ? 0 : j + 1);
                     ++p;
                   }});
  loads.push_back({FileId::histval, counts.value_history,
                   [&s, walk = HistoryWalk(s, s.value_history_per_product, 6)](Record& r) mutable {
                     walk.advance();
                     fill_spaces(r);
                     write_history_key(r, walk, s, walk.index() % 10000, 1, 0);
                     const std::uint64_t cents =
                         100 + draw(s.seed, 7, walk.product(), walk.index()) % 50000;
                     r.set_number(histval_extra::preco_venda, cents);
                     r.set_number(histval_extra::preco_custo, cents * 6 / 10);
                     r.set_text(histval_extra::usuario,
                                pick(kClerks, draw(s.seed, 8, walk.product(), walk.index())));
                     r.set_text(histval_extra::motivo,
                                pick(kPriceReasons, draw(s.seed, 9, walk.product(), walk.index())));
                   }});
  loads.push_back(
      {FileId::histmov, counts.movement_history,
       [&s, walk = HistoryWalk(s, s.movement_history_per_product, 10)](Record& r) mutable {
         walk.advance();
         const std::uint64_t h = draw(s.seed, 11, walk.product(), walk.index());
         const std::uint64_t time = 800 + (h % 10) * 100 + (h / 10) % 60;  // HHMM, 08:00-17:59
         fill_spaces(r);
         write_history_key(r, walk, s, time, 1, 0);
         const bool entrada = (h >> 8) % 3 == 0;
         r.set_text(histmov_extra::tipo, entrada ? "E" : "S");
         r.set_number(histmov_extra::data, calendar_date(walk.day()));
         r.set_text(histmov_extra::documento,
                    "NF " + std::to_string(1000000000 + (h >> 12) % 1000000000).substr(1));
         r.set_text(histmov_extra::codipro, product_code(walk.brand(), walk.within_brand(), s));
         r.set_number(histmov_extra::quantidade, (1 + (h >> 16) % 200) * 1000);
         r.set_number(histmov_extra::valor_unitario, 100 + (h >> 24) % 50000);
         r.set_text(histmov_extra::historico,
                    entrada ? pick(kIncomingTexts, h >> 32) : pick(kOutgoingTexts, h >> 32));
         r.set_text(histmov_extra::usuario, pick(kClerks, h >> 40));
       }});

  for (FileLoad& load : loads) {
    const FileDescription& description = dravel::describe(load.file);
    GeneratedRecords records(description.record_length, load.count, std::move(load.next));
    std::istream in(&records);
    std::size_t loaded = 0;
    LoadProgress progress;
    if (plan.progress) {
      progress = [&](std::size_t so_far) { plan.progress(description.name, so_far); };
    }
    const AdminResult outcome = load_records(map_catalogue_path(description.catalogue_path, drive),
                                             description, in, loaded, progress);
    if (!outcome.ok || loaded != load.count) {
      result.ok = false;
      result.file = description.name;
      result.message = outcome.ok ? "loaded " + std::to_string(loaded) + " of " +
                                        std::to_string(load.count) + " records"
                                  : outcome.message;
      return result;
    }
  }
  return result;
}

}  // namespace vrx::tool
