// A form module's description: the form and its controls as data, read by
// every form runtime (the Qt window and the scripted runtime) to build the
// form. Texts are Windows-1252.
#ifndef PLATFORM_FORM_MODULE_DESCRIPTION_H_
#define PLATFORM_FORM_MODULE_DESCRIPTION_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/form/form_services.h"

namespace vantrexo {

enum class ControlKind { form, command_button, text_box, static_text, frame, image };
enum class Alignment { left, centre };

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// A colour is either an RGB value or one of the system colours.
enum class SystemColour { none, window_text, button_face, window };
struct Colour {
  SystemColour system = SystemColour::none;
  Rgb rgb{};
  static constexpr Colour of(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {SystemColour::none, {r, g, b}};
  }
  static constexpr Colour sys(SystemColour s) { return {s, {}}; }
};

struct Font {
  std::string_view family{};
  double points = 8.25;
  bool bold = false;
};

struct ControlDescription {
  ControlKind kind = ControlKind::static_text;
  std::string_view name{};
  std::int32_t object_id = 0;
  std::int32_t container = 0;  // object id of the form or frame holding it
  int x = 0, y = 0, width = 0, height = 0;
  std::string_view text{};     // caption or initial text (Windows-1252)
  std::string_view picture{};  // bitmap resource name, any letter case
  std::size_t max_length = 0;  // text boxes and display fields: the format's width
  Font font{};
  Colour foreground{};
  Colour background{};
  bool transparent = false;
  bool border = false;
  bool enabled = true;
  Alignment caption_alignment = Alignment::left;
  int tab_index = -1;  // position in the tab order; -1 not in it
  bool tab_stop = false;
  std::optional<std::size_t> table_position{};  // position in the object table
};

struct PictureResource {
  std::string_view name;  // upper case
  int width = 0, height = 0;
};

struct ModuleDescription {
  std::string_view module_name;
  ControlDescription form;  // kind form; text is the title
  std::string_view form_class;
  std::span<const ControlDescription> controls;  // in object-id order
  std::span<const PictureResource> pictures;
  Colour picture_transparent_colour;

  const ControlDescription* find(std::string_view name) const;
  const ControlDescription* find(std::int32_t object_id) const;
  ObjectTable object_table() const;  // object ids at their table positions
  // The designer's name of the object at a table position, "?" for none.
  std::string_view name_at(std::size_t position) const;
};

}  // namespace vantrexo

#endif  // PLATFORM_FORM_MODULE_DESCRIPTION_H_
