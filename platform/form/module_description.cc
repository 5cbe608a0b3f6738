#include "platform/form/module_description.h"

namespace vantrexo {

const ControlDescription* ModuleDescription::find(std::string_view name) const {
  if (form.name == name) return &form;
  for (const auto& c : controls) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

const ControlDescription* ModuleDescription::find(std::int32_t object_id) const {
  if (form.object_id == object_id) return &form;
  for (const auto& c : controls) {
    if (c.object_id == object_id) return &c;
  }
  return nullptr;
}

ObjectTable ModuleDescription::object_table() const {
  ObjectTable table{};
  if (form.table_position) table[*form.table_position] = static_cast<ObjectRef>(form.object_id);
  for (const auto& c : controls) {
    if (c.table_position && *c.table_position < table.size()) {
      table[*c.table_position] = static_cast<ObjectRef>(c.object_id);
    }
  }
  return table;
}

std::string_view ModuleDescription::name_at(std::size_t position) const {
  if (form.table_position == position) return form.name;
  for (const auto& c : controls) {
    if (c.table_position == position) return c.name;
  }
  return "?";
}

}  // namespace vantrexo
