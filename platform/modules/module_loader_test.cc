#include "platform/modules/module_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>

#include "platform/shared_areas.h"

namespace vantrexo {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Optional;

TEST(ModuleFileName, MapsTheCallsNameToAFileOfTheModuleFolder) {
  struct Case {
    std::string_view given;
    std::optional<std::string> file;
  };
  const Case cases[] = {
      {"999999-Quervilos.DLL", "999999-Quervilos.so"},
      {"999999-Quervilos.DLL            ", "999999-Quervilos.so"},  // filled out with spaces
      {"999999-quervilos.dll", "999999-quervilos.so"},              // case kept
      {"DRAVEL_MARKS.so", "DRAVEL_MARKS.so"},
      {"DRAVEL_MARKS", "DRAVEL_MARKS.so"},
      {"", std::nullopt},
      {"     ", std::nullopt},
      {"..", std::nullopt},
      {"../999999-Quervilos.DLL", std::nullopt},
      {"/lib/x86_64-linux-gnu/libc.so.6", std::nullopt},
      {"sub\\999999-Quervilos.DLL", std::nullopt},
      {std::string_view("A\0B.DLL", 7), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(module_file_name(c.given), c.file) << '"' << c.given << '"';
  }
}

TEST(ModuleLoader, TheDefaultFolderIsTheExecutablesWhereTheBuildPutsTheModules) {
  EXPECT_EQ(default_module_folder(), std::filesystem::path(VANTREXO_BINARY_DIR));
  EXPECT_EQ(process_module_loader().folder(), std::filesystem::path(VANTREXO_BINARY_DIR));
  // The lookup component is there, and the process's loader finds its form.
  const ModuleLoader::FoundForm found =
      process_module_loader().form("99-Qrv_Tabelas", "999999-Quervilos.DLL");
  ASSERT_NE(found.form, nullptr) << found.error;
  EXPECT_NE(found.form->do_modal, nullptr);
}

// A form run through the loader writes into L-LINK; the host sees the same
// bytes: the registry is the process's one, not a copy inside the module.
TEST(ModuleLoader, RunsAFormModallyAndItsWritesReachTheHostsSharedAreas) {
  std::span<char> link = SharedAreaRegistry::process().attach("L-LINK", 332);
  ASSERT_EQ(link.size(), 332u);
  std::fill_n(link.begin() + 22, 3, ' ');

  ModuleLoader loader(VANTREXO_PROBE_DIR);
  EXPECT_EQ(loader.run_form("Sonda", "Probe-ok.DLL", nullptr), std::nullopt);
  EXPECT_EQ(std::string_view(link.data() + 22, 3), "OK!");

  // Loaded once: the second run finds the same module description.
  const auto first = loader.module("Probe-ok.DLL").module;
  EXPECT_EQ(loader.module("Probe-ok.so").module, first);
  std::fill_n(link.begin() + 22, 3, ' ');
  EXPECT_EQ(loader.run_form("Sonda  ", "Probe-ok.DLL  ", nullptr), std::nullopt);
  EXPECT_EQ(std::string_view(link.data() + 22, 3), "OK!");
}

TEST(ModuleLoader, EachFailureNamesWhatIsMissing) {
  ModuleLoader loader(VANTREXO_PROBE_DIR);
  const std::string folder = VANTREXO_PROBE_DIR;
  struct Case {
    std::string_view form, module;
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {"Sonda", "Ausente.DLL", {"module file not found", folder + "/Ausente.so"}},
      {"Sonda", "probe-OK.DLL", {"module file not found", "probe-OK.so"}},  // case counts
      {"Sonda", "../Probe-ok.DLL", {"invalid module file name", "../Probe-ok.DLL"}},
      {"Sonda", "Probe-noentry.DLL", {"has no entry point vantrexo_module", "Probe-noentry.so"}},
      {"Sonda",
       "Probe-old.DLL",
       {"Probe-old.so", "built for module interface version 0", "needs version 1"}},
      {"99-Qrv_Tabelas", "Probe-ok.DLL", {"form \"99-Qrv_Tabelas\" not found", "Probe-ok.so"}},
      {"sonda", "Probe-ok.DLL", {"form \"sonda\" not found"}},
      {"Recusa", "Probe-ok.DLL", {"form \"Recusa\"", "failed: the probe refuses"}},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> error = loader.run_form(c.form, c.module, nullptr);
    ASSERT_TRUE(error.has_value()) << c.form << " / " << c.module;
    for (const std::string& part : c.says) {
      EXPECT_THAT(*error, HasSubstr(part)) << c.form << " / " << c.module;
    }
  }
  // An old module stays refused on the next call too.
  EXPECT_THAT(loader.run_form("Sonda", "Probe-old.DLL", nullptr),
              Optional(HasSubstr("interface version 0")));
}

TEST(ModuleLoader, TheCallFormServiceUsesTheModuleFolderOfTheProcess) {
  EXPECT_THAT(run_form("99-Qrv_Tabelas", "Inexistente.DLL", nullptr),
              Optional(AllOf(HasSubstr("module file not found"),
                             HasSubstr(std::string(VANTREXO_BINARY_DIR) + "/Inexistente.so"))));
}

}  // namespace
}  // namespace vantrexo
