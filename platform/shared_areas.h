// Named shared areas of the process: blocks of characters that every module
// of the process reaches by name, so that a value one module leaves is seen
// by the next (the operator's user name, the code a lookup chose).
//
// An area is created on its first attachment with every byte a space, except
// that L-LINK starts with the operator's user name in its last 20 characters
// (LK-USUARIO): the environment variable VANTREXO_USUARIO when set, else the
// login name. Areas live as long as the registry (the process, for
// process()). Attaching is thread-safe; the bytes are used from the
// user-interface thread only.
#ifndef PLATFORM_SHARED_AREAS_H_
#define PLATFORM_SHARED_AREAS_H_

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrexo {

class SharedAreaRegistry {
 public:
  SharedAreaRegistry() = default;
  SharedAreaRegistry(const SharedAreaRegistry&) = delete;
  SharedAreaRegistry& operator=(const SharedAreaRegistry&) = delete;

  // The registry of this process, reached by every module.
  static SharedAreaRegistry& process();

  // The area of that name, of at least `size` characters. An area keeps the
  // size of its first attachment; a later attachment asking for more gets an
  // empty span.
  std::span<char> attach(std::string_view name, std::size_t size);

 private:
  std::mutex mutex_;
  std::map<std::string, std::vector<char>, std::less<>> areas_;
};

// One row of the attachment table: where the reference goes, name, size.
struct AreaRequest {
  std::span<char>* reference;
  std::string_view name;
  std::size_t size;
};

// Attaches every area of the table, in order.
void attach_areas(SharedAreaRegistry& registry, std::span<const AreaRequest> table);

// The operator's user name as the process context gives it.
std::string operator_user_name();

}  // namespace vantrexo

#endif  // PLATFORM_SHARED_AREAS_H_
