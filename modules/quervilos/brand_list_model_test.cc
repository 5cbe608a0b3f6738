#include "modules/quervilos/brand_list_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "modules/quervilos/test_support.h"

namespace quervilos {
namespace {

std::vector<Brand> sample() {
  std::vector<Brand> brands;
  for (const auto& [code, description] : testing::sample_brands()) {
    brands.push_back({code, vantrexo::utf8_to_cp1252(description).value()});
  }
  return brands;
}

std::string shown_codes(const BrandListModel& model) {
  std::string all;
  for (int row = 0; row < model.rowCount(); ++row) {
    if (!all.empty()) all += ' ';
    all += model.data(model.index(row, BrandListModel::code_column)).toString().toStdString();
  }
  return all;
}

TEST(BrandListModel, ShowsCodeAndDescriptionConvertedForDisplay) {
  BrandListModel model;
  model.set_brands(sample());
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Código"));
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Descrição"));
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("AÇOS ÁGUIA"));
  EXPECT_EQ(model.code_at(1), "A02");
}

// The list keeps the order it was given in (the file's description order).
TEST(BrandListModel, TheFilterFindsItsTextInCodeOrDescriptionAccentsAndCaseAside) {
  struct Case {
    QString filter;
    std::string codes;
  };
  const Case cases[] = {
      {"", "A01 A02 B10 C07 Z99 X01"},
      {"   ", "A01 A02 B10 C07 Z99 X01"},
      {"acos", "A02"},  // "AÇOS"
      {QStringLiteral("ÁGUIA"), "A02"},
      {"agu", "A02"},
      {QStringLiteral("aço"), "A02"},
      {"oleos do", "B10"},  // "ÓLEOS DO SUL"
      {"fin", "C07"},
      {"a0", "A01 A02"},  // by code
      {"9", "Z99"},
      {"b1", "B10"},
      {"x", "X01"},  // code only: no description holds an x
      {"qqq", ""},
  };
  BrandListModel model;
  model.set_brands(sample());
  for (const Case& c : cases) {
    model.set_filter(c.filter);
    EXPECT_EQ(shown_codes(model), c.codes) << c.filter.toStdString();
  }
  EXPECT_EQ(model.brand_count(), 6);
}

TEST(BrandListModel, NewBrandsKeepTheFilter) {
  BrandListModel model;
  model.set_filter("aguia");
  model.set_brands(sample());
  EXPECT_EQ(shown_codes(model), "A02");
  EXPECT_EQ(model.code_at(0), "A02");
}

}  // namespace
}  // namespace quervilos
