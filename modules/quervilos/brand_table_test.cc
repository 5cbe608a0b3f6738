#include "modules/quervilos/brand_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "modules/quervilos/test_support.h"

namespace quervilos {
namespace {

using testing::BrandDrive;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::sample_brands;

std::vector<std::string> codes(const BrandList& list) {
  std::vector<std::string> c;
  for (const Brand& b : list.brands) c.push_back(b.code);
  return c;
}

TEST(ReadBrands, EveryBrandInTheOrderOfItsDescriptionsBytes) {
  BrandDrive drive(sample_brands());
  const BrandList list = read_brands(drive.path());
  EXPECT_EQ(list.message, "");
  EXPECT_THAT(codes(list), ElementsAre("C07", "X01", "A02", "A01", "Z99", "B10"));
  ASSERT_EQ(list.brands.size(), 6u);
  // The description as the file holds it (Windows-1252), without its spaces.
  EXPECT_EQ(list.brands[2].description, vantrexo::utf8_to_cp1252("AÇOS ÁGUIA").value());
}

TEST(ReadBrands, ABrandAnotherProgramHoldsLockedIsListedAllTheSame) {
  BrandDrive drive(sample_brands());
  for (const char* code : {"C07", "A02", "B10"}) {  // first, middle, last in the list
    testing::LockingProgram other(drive.path(), code);
    ASSERT_TRUE(other.holds_lock()) << code;
    const BrandList list = read_brands(drive.path());
    EXPECT_EQ(list.message, "") << code;
    EXPECT_THAT(codes(list), ElementsAre("C07", "X01", "A02", "A01", "Z99", "B10")) << code;
  }
}

TEST(ReadBrands, AnEmptyTableIsAnEmptyListWithoutAMessage) {
  BrandDrive drive(std::vector<std::pair<std::string, std::string>>{});
  const BrandList list = read_brands(drive.path());
  EXPECT_TRUE(list.brands.empty());
  EXPECT_EQ(list.message, "");
}

TEST(ReadBrands, AMissingOrBadTableGivesItsStatusAndNoBrands) {
  struct Case {
    const char* what;
    std::string bytes;  // written as TABEMAR; none for a missing file
    bool write;
    std::string status;
  };
  const Case cases[] = {
      {"missing", "", false, "status 35"},
      {"zero length", "", true, "status 30"},
      {"random bytes", std::string(4096, '\x5a'), true, "status 30"},
  };
  for (const Case& c : cases) {
    BrandDrive drive;
    if (c.write) {
      std::filesystem::create_directories(drive.tabemar_path().parent_path());
      std::ofstream(drive.tabemar_path(), std::ios::binary) << c.bytes;
    }
    const BrandList list = read_brands(drive.path());
    EXPECT_TRUE(list.brands.empty()) << c.what;
    EXPECT_THAT(list.message, HasSubstr("TABEMAR")) << c.what;
    EXPECT_THAT(list.message, HasSubstr(c.status)) << c.what;
  }
  // A table of another layout (the records of another file).
  BrandDrive other;
  vrx::FileDescription wrong = tabemar_description();
  wrong.record_length = 40;
  ASSERT_TRUE(vrx::testing::load(other.tabemar_path(), wrong, {std::string(40, 'A')}).ok);
  EXPECT_THAT(read_brands(other.path()).message, HasSubstr("status 39"));
}

}  // namespace
}  // namespace quervilos
