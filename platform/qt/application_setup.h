// The look of every form on Qt, fixed so that a form looks the same on every
// machine whatever the desktop's theme: the "Windows" widget style, an
// explicit palette, the fonts loaded from the Debian packages that hold them,
// and Qt's own Brazilian Portuguese translation (message-box buttons "Sim",
// "Não"). Also the mapping of the module description's fonts and colours.
//
// Threading: the GUI thread, after the QApplication exists.
#ifndef PLATFORM_QT_APPLICATION_SETUP_H_
#define PLATFORM_QT_APPLICATION_SETUP_H_

#include <QColor>
#include <QFont>
#include <QPalette>

#include "platform/form/module_description.h"

class QApplication;

namespace vantrexo::qt {

// The 3D face of buttons and frames (the system colour "3D face").
inline constexpr Rgb kButtonFace{240, 240, 240};

// Sets style, palette, fonts and translation on the application. Returns
// false when something could not be loaded (a font file or the translation);
// the form still works, with a substitute.
bool prepare_application(QApplication& app);

// The fixed palette of forms and boxes.
QPalette form_palette();

// The font of a description: the family mapped to the fonts installed with
// the program, the size in pixels at 96 dots per inch so that text and
// geometry scale together.
QFont font_of(const Font& font);

// An RGB colour, or the palette's colour for a system colour.
QColor colour_of(const Colour& colour, const QPalette& palette);

}  // namespace vantrexo::qt

#endif  // PLATFORM_QT_APPLICATION_SETUP_H_
