#include "tools/vrx/data_generator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/catalogue.h"
#include "data/record_layouts.h"
#include "tools/vrx/vrx_testing.h"

namespace vrx::tool {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::TempDrive;
using testing::VrxRun;
namespace layout = dravel::layout;

// The records of a file in the order of key `key`.
std::vector<std::string> records(const TempDrive& drive, const std::string& name, int key = 0) {
  const VrxRun dump = drive.vrx({"dump", name, "--key", std::to_string(key)});
  EXPECT_EQ(dump.exit_code, 0) << dump.err;
  const std::size_t length = dravel::find_file(name)->record_length;
  EXPECT_EQ(dump.out.size() % length, 0u);
  std::vector<std::string> list;
  for (std::size_t at = 0; at + length <= dump.out.size(); at += length) {
    list.push_back(dump.out.substr(at, length));
  }
  return list;
}

std::string field(const std::string& record, dravel::Field f) {
  return record.substr(f.offset, f.length);
}

class ScopedUser {
 public:
  explicit ScopedUser(const char* name) {
    if (const char* old = getenv("VANTREXO_USUARIO")) old_ = old;
    setenv("VANTREXO_USUARIO", name, 1);
  }
  ~ScopedUser() {
    if (old_.empty()) {
      unsetenv("VANTREXO_USUARIO");
    } else {
      setenv("VANTREXO_USUARIO", old_.c_str(), 1);
    }
  }

 private:
  std::string old_;
};

TEST(VrxDemo, MakesSixSoundFilesWithTheExpectedContents) {
  const ScopedUser user("Jo\xC3\xA3o");  // "João" in UTF-8
  TempDrive drive;
  const VrxRun demo = drive.vrx({"demo"});
  ASSERT_EQ(demo.exit_code, 0) << demo.err;
  EXPECT_EQ(demo.err, "");  // no progress when the error stream is no terminal
  EXPECT_THAT(demo.out, HasSubstr(drive.file("PRODUTO").parent_path().string()));
  EXPECT_THAT(demo.out, HasSubstr("Ferramentas São Jorge"));
  EXPECT_THAT(demo.out, HasSubstr("96 products, 19 of them without histories"));

  const std::map<std::string, std::size_t> expected = {{"PARAMET", 1},      {"USUARIO", 1},
                                                       {"TABEMAR", 12},     {"PRODUTO", 96},
                                                       {"HISTVAL", 77 * 4}, {"HISTMOV", 77 * 6}};
  for (const auto& [name, count] : expected) {
    SCOPED_TRACE(name);
    const VrxRun check = drive.vrx({"check", name});
    EXPECT_EQ(check.exit_code, 0) << check.err;
    EXPECT_EQ(records(drive, name).size(), count);
  }

  EXPECT_EQ(records(drive, "PARAMET")[0],
            "1" + std::string(layout::paramet::record_length - 1, ' '));
  EXPECT_EQ(records(drive, "USUARIO")[0],
            "Jo\xE3o" + std::string(layout::usuario::record_length - 4, ' '));
  const std::vector<std::string> brands = records(drive, "TABEMAR");
  EXPECT_EQ(brands[0], "A01Ferramentas S\xE3o Jorge       ");
  EXPECT_EQ(brands[1], "A02El\xE9trica Paran\xE1             ");

  std::size_t zero_complement = 0;
  for (const std::string& p : records(drive, "PRODUTO")) {
    EXPECT_EQ(p.find_first_not_of(' ', 97), std::string::npos);
    if (field(p, layout::produto::pro_compl_marca) == "000000") ++zero_complement;
  }
  EXPECT_EQ(zero_complement, 1u);

  // Another run refuses to overwrite; --force replaces with the same data.
  const std::vector<std::string> movements = records(drive, "HISTMOV");
  const VrxRun again = drive.vrx({"demo"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_THAT(again.err, StartsWith("vrx: PARAMET: exists already"));
  const VrxRun forced = drive.vrx({"demo", "--force"});
  EXPECT_EQ(forced.exit_code, 0) << forced.err;
  EXPECT_EQ(records(drive, "HISTMOV"), movements);
  EXPECT_EQ(drive.vrx({"check", "HISTMOV"}).exit_code, 0);
}

TEST(DataGenerator, CodesAndHistoriesFollowThePlanAndTheSeed) {
  DataSetPlan plan;
  plan.brands = 3;
  plan.products_per_brand = 5;
  plan.value_history_per_product = 2;
  plan.movement_history_per_product = 3;
  plan.products_without_history_every = 4;
  plan.seed = 7;
  plan.user_name = "teste";
  TempDrive drive;
  const GenerateResult result = generate_data_set(drive.path(), plan);
  ASSERT_TRUE(result.ok) << result.file << ": " << result.message;
  EXPECT_EQ(result.counts.products, 15u);
  EXPECT_EQ(result.counts.products_without_history, 3u);  // the 4th, 8th and 12th
  EXPECT_EQ(result.counts.value_history, 24u);
  EXPECT_EQ(result.counts.movement_history, 36u);

  // Key 4 puts each brand's products together, in code order.
  const std::vector<std::string> by_brand = records(drive, "PRODUTO", 4);
  ASSERT_EQ(by_brand.size(), 15u);
  for (std::size_t p = 0; p < by_brand.size(); ++p) {
    EXPECT_EQ(field(by_brand[p], layout::produto::pro_codimar), brand_code(p / 5));
    EXPECT_EQ(field(by_brand[p], layout::produto::pro_codipro), product_code(p / 5, p % 5, plan));
  }

  for (const char* name : {"HISTVAL", "HISTMOV"}) {
    SCOPED_TRACE(name);
    std::map<std::string, int> per_product;
    for (const std::string& h : records(drive, name)) {
      EXPECT_EQ(field(h, layout::history::chave).find_first_not_of("0123456789"),
                std::string::npos);
      ++per_product[field(h, layout::history::codipro)];
    }
    const int expected = std::string(name) == "HISTVAL" ? 2 : 3;
    for (std::size_t p = 0; p < 15; ++p) {
      const std::string code = product_code(p / 5, p % 5, plan);
      EXPECT_EQ(per_product[code], (p + 1) % 4 == 0 ? 0 : expected) << code;
    }
  }

  TempDrive same;
  TempDrive other;
  ASSERT_TRUE(generate_data_set(same.path(), plan).ok);
  plan.seed = 8;
  ASSERT_TRUE(generate_data_set(other.path(), plan).ok);
  EXPECT_EQ(records(same, "HISTMOV"), records(drive, "HISTMOV"));
  EXPECT_NE(records(other, "HISTMOV"), records(drive, "HISTMOV"));
}

}  // namespace
}  // namespace vrx::tool
