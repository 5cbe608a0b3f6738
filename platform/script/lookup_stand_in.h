// The system's lookup component as the scripted runtime plays it: the form
// "99-Qrv_Tabelas" of the module file "999999-Quervilos.DLL". Like the real
// component it reaches L-LINK by name; in place of an operator choosing from
// a list, each run takes the next outcome the script queued: leave a code in
// LK-CODIGO, leave LK-CODIGO as the caller left it, or fail to load.
//
// Threading: the user-interface thread only.
#ifndef PLATFORM_SCRIPT_LOOKUP_STAND_IN_H_
#define PLATFORM_SCRIPT_LOOKUP_STAND_IN_H_

#include <deque>
#include <string>
#include <string_view>

#include "platform/shared_areas.h"

namespace vantrexo::script {

class LookupStandIn {
 public:
  static constexpr std::string_view kFormName = "99-Qrv_Tabelas";
  static constexpr std::string_view kModuleFile = "999999-Quervilos.DLL";
  static constexpr std::string_view kLinkArea = "L-LINK";
  static constexpr std::size_t kLinkSize = 332;
  static constexpr std::size_t kCodeOffset = 22;  // LK-CODIGO
  static constexpr std::size_t kCodeWidth = 3;

  enum class Kind { code, none, fail };
  struct Outcome {
    Kind kind = Kind::none;
    std::string code;  // Windows-1252, at most kCodeWidth characters
  };

  void queue(Outcome outcome) { outcomes_.push_back(std::move(outcome)); }

  // Whether this is the component's form (names as passed, trailing spaces
  // removed; the module file name in any letter case, as Windows finds it).
  static bool is_lookup(std::string_view form_name, std::string_view module_file);

  // Runs the form once with the next queued outcome (none when nothing is
  // queued). Returns false when the component fails to load.
  bool run(SharedAreaRegistry& areas);

 private:
  std::deque<Outcome> outcomes_;
};

}  // namespace vantrexo::script

#endif  // PLATFORM_SCRIPT_LOOKUP_STAND_IN_H_
