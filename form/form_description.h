// The form DRAVEL_MARKS, "Exclui Produtos por Marca", as data: the form and
// every control with kind, object id, container, geometry, texts, formats,
// fonts, colours, pictures and tab order, and the object-table positions the
// procedures reach them by. Every form runtime builds the form from this one
// description. Texts are Windows-1252.
//
// Threading: the description is constant data, safe to read from any thread.
#ifndef FORM_FORM_DESCRIPTION_H_
#define FORM_FORM_DESCRIPTION_H_

#include "platform/form/module_description.h"

namespace dravel {

const vantrexo::ModuleDescription& dravel_marks_description();

}  // namespace dravel

#endif  // FORM_FORM_DESCRIPTION_H_
