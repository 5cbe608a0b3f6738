#include "platform/shared_areas.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/text/cp1252.h"

namespace vantrexo {
namespace {

constexpr std::string_view kLinkArea = "L-LINK";
constexpr std::size_t kUserNameWidth = 20;

}  // namespace

SharedAreaRegistry& SharedAreaRegistry::process() {
  static SharedAreaRegistry registry;
  return registry;
}

std::span<char> SharedAreaRegistry::attach(std::string_view name, std::size_t size) {
  std::lock_guard lock(mutex_);
  auto it = areas_.find(name);
  if (it == areas_.end()) {
    std::vector<char> bytes(size, ' ');
    if (name == kLinkArea && size >= kUserNameWidth) {
      const std::string user = operator_user_name();
      const std::size_t n = std::min(user.size(), kUserNameWidth);
      std::copy_n(user.begin(), n, bytes.end() - static_cast<std::ptrdiff_t>(kUserNameWidth));
    }
    it = areas_.emplace(std::string(name), std::move(bytes)).first;
  }
  if (it->second.size() < size) return {};
  return std::span<char>(it->second);
}

void attach_areas(SharedAreaRegistry& registry, std::span<const AreaRequest> table) {
  for (const AreaRequest& r : table) *r.reference = registry.attach(r.name, r.size);
}

std::string operator_user_name() {
  if (const char* env = std::getenv("VANTREXO_USUARIO"); env != nullptr) {
    // The environment speaks UTF-8; the files hold Windows-1252.
    return utf8_to_cp1252(env).value_or(env);
  }
  if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    return pw->pw_name;
  }
  if (const char* env = std::getenv("USER"); env != nullptr) return env;
  return {};
}

}  // namespace vantrexo
