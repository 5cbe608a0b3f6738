#include "platform/script/lookup_stand_in.h"

#include <algorithm>
#include <cctype>
#include <span>

namespace vantrexo::script {

bool LookupStandIn::is_lookup(std::string_view form_name, std::string_view module_file) {
  const auto same_letters = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) ==
                    std::tolower(static_cast<unsigned char>(y));
           });
  };
  return form_name == kFormName && same_letters(module_file, kModuleFile);
}

bool LookupStandIn::run(SharedAreaRegistry& areas) {
  Outcome outcome;
  if (!outcomes_.empty()) {
    outcome = std::move(outcomes_.front());
    outcomes_.pop_front();
  }
  if (outcome.kind == Kind::fail) return false;
  if (outcome.kind == Kind::code) {
    const std::span<char> link = areas.attach(kLinkArea, kLinkSize);
    if (link.size() < kLinkSize) return false;
    std::string code = outcome.code;
    code.resize(kCodeWidth, ' ');
    std::copy(code.begin(), code.end(), link.begin() + kCodeOffset);
  }
  return true;
}

}  // namespace vantrexo::script
