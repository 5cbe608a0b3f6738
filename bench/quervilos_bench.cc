// The lookup list on a table of 10,000 brands: opening it (reading TABEMAR,
// building the list, showing the window) and narrowing it as the operator
// types. Offscreen unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <random>

#include "modules/quervilos/lookup_dialog.h"
#include "modules/quervilos/test_support.h"
#include "platform/shared_areas.h"

namespace {

constexpr int kBrands = 10000;

const std::filesystem::path& drive_with_brands() {
  static quervilos::testing::BrandDrive drive = [] {
    const char* words[] = {"AÇOS",      "ÁGUIA",    "BRASIL",     "PARAFUSOS",
                           "ÓLEOS",     "SUL",      "NORTE",      "FERRAGENS",
                           "TINTAS",    "ELÉTRICA", "CONSTRUÇÃO", "MÓVEIS",
                           "PLÁSTICOS", "VIDROS",   "MADEIRAS",   "CIA"};
    std::mt19937 random(7);
    std::vector<std::pair<std::string, std::string>> brands;
    const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int i = 0; i < kBrands; ++i) {
      std::string code = {digits[static_cast<std::size_t>(i / 1296 % 36)],
                          digits[static_cast<std::size_t>(i / 36 % 36)],
                          digits[static_cast<std::size_t>(i % 36)]};
      // Two words and the number (unique), within the 25 characters of the
      // field (counted in Windows-1252: one per UTF-8 character).
      std::string description = std::string(words[random() % 16]);
      const std::string second = words[random() % 16];
      const auto characters = [](const std::string& utf8) {
        return std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; });
      };
      if (characters(description) + characters(second) <= 19) description += " " + second;
      description += " " + std::to_string(i);
      brands.emplace_back(code, description);
    }
    return quervilos::testing::BrandDrive(brands);
  }();
  return drive.path();
}

// Reading TABEMAR alone, and building the list's model from what was read.
void BM_ReadTable(benchmark::State& state) {
  const std::filesystem::path& drive = drive_with_brands();
  for (auto _ : state) benchmark::DoNotOptimize(quervilos::read_brands(drive).brands.size());
}
BENCHMARK(BM_ReadTable)->Unit(benchmark::kMillisecond);

void BM_BuildModel(benchmark::State& state) {
  const std::vector<quervilos::Brand> brands = quervilos::read_brands(drive_with_brands()).brands;
  for (auto _ : state) {
    quervilos::BrandListModel model;
    model.set_brands(brands);
    benchmark::DoNotOptimize(model.rowCount());
  }
}
BENCHMARK(BM_BuildModel)->Unit(benchmark::kMillisecond);

// From nothing to the list shown on the screen, on its first row.
void BM_OpenList(benchmark::State& state) {
  const std::filesystem::path& drive = drive_with_brands();
  vantrexo::SharedAreaRegistry areas;
  std::span<char> link = areas.attach(quervilos::kLinkArea, quervilos::kLinkSize);
  std::copy_n("MAR", 3, link.begin() + quervilos::kTableOffset);
  for (auto _ : state) {
    quervilos::LookupDialog dialog(nullptr, areas, drive);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) state.SkipWithError("not shown");
    QApplication::processEvents();
    benchmark::DoNotOptimize(dialog.model().rowCount());
  }
  state.counters["brands"] = kBrands;
}
BENCHMARK(BM_OpenList)->Unit(benchmark::kMillisecond);

// One key typed into the filter, with the list repainted.
void BM_TypeIntoFilter(benchmark::State& state) {
  const std::filesystem::path& drive = drive_with_brands();
  vantrexo::SharedAreaRegistry areas;
  std::span<char> link = areas.attach(quervilos::kLinkArea, quervilos::kLinkSize);
  std::copy_n("MAR", 3, link.begin() + quervilos::kTableOffset);
  quervilos::LookupDialog dialog(nullptr, areas, drive);
  dialog.show();
  if (!QTest::qWaitForWindowExposed(&dialog)) state.SkipWithError("not shown");
  const QString typed = QStringLiteral("construcao");
  int at = 0;
  for (auto _ : state) {
    if (at == typed.size()) {
      dialog.filter_box()->clear();
      at = 0;
    }
    QTest::keyClick(dialog.filter_box(), typed.at(at++).toLatin1());
    QApplication::processEvents();
    benchmark::DoNotOptimize(dialog.model().rowCount());
  }
}
BENCHMARK(BM_TypeIntoFilter)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
