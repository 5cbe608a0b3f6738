#include "tools/vrx/demo_command.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "platform/text/cp1252.h"

namespace vrx::tool {

CLI::App* setup_demo(CLI::App& app, DemoOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "demo",
      "Create a demo data set: brands, products with value and movement histories, a "
      "parameter record and the operator's user record");
  DataSetPlan& plan = options.plan;
  sub->add_flag("--force", plan.replace_existing, "Replace the six files when they exist");
  sub->add_option("--brands", plan.brands, "Number of brands")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{0}, kMaxBrands));
  sub->add_option("--products", plan.products_per_brand, "Products per brand")
      ->capture_default_str();
  sub->add_option("--value-history", plan.value_history_per_product,
                  "Value-history records per product")
      ->capture_default_str();
  sub->add_option("--movement-history", plan.movement_history_per_product,
                  "Movement-history records per product")
      ->capture_default_str();
  sub->add_option("--without-history-every", plan.products_without_history_every,
                  "Every n-th product has no history records (0: none)")
      ->capture_default_str();
  sub->add_option("--seed", plan.seed, "Seed of the generated values")->capture_default_str();
  return sub;
}

int run_demo(const DemoOptions& options, const CommandContext& context) {
  DataSetPlan plan = options.plan;
  if (context.err_is_terminal) {
    plan.progress = [&](std::string_view name, std::size_t records) {
      context.err << "\rvrx: " << name << ": " << records << " records" << std::flush;
    };
  }
  const GenerateResult generated = generate_data_set(context.drive(), plan);
  if (context.err_is_terminal) context.err << "\r\x1b[K" << std::flush;
  if (!generated.ok) {
    if (generated.file.empty()) return context.report("demo: " + generated.message, kExitFailure);
    std::string message = generated.message;
    if (!options.plan.replace_existing && message.starts_with("exists already")) {
      message += " (--force replaces the demo files)";
    }
    return context.report(generated.file, message, kExitFailure);
  }
  const DataSetCounts& c = generated.counts;
  std::ostream& out = context.out;
  out << "Demo data in " << c.folder.string() << "\n";
  out << "  TABEMAR  " << c.brands << " brands\n";
  if (c.brands <= 20) {
    for (std::size_t b = 0; b < c.brands; ++b) {
      out << "             " << brand_code(b) << "  "
          << vantrexo::cp1252_to_utf8(brand_description(b)) << "\n";
    }
  }
  out << "  PRODUTO  " << c.products << " products, " << c.products_without_history
      << " of them without histories\n";
  out << "  HISTVAL  " << c.value_history << " value-history records\n";
  out << "  HISTMOV  " << c.movement_history << " movement-history records\n";
  out << "  PARAMET  record \"1\"\n";
  out << "  USUARIO  user \"" << vantrexo::cp1252_to_utf8(c.user_name) << "\"\n" << std::flush;
  return kExitOk;
}

}  // namespace vrx::tool
