#pragma once
// The refusal of a value outside its field's range (texts: RefusalTexts.h)
// and the label that names the field on screen.
#include <string>

#include "platform/RefusalTexts.h"

class QWidget;

namespace smt::platform {

// The widget property that names a field where one label stands for
// several edits (a row label over an X and a Y edit): set it to the field's
// name, e.g. "Mark2 X", and the refusal names that.
inline constexpr const char* kFieldNameProperty = "smtFieldName";

// The text of the label that names an edit: the name set in its
// kFieldNameProperty, else its buddy label, else the
// nearest label left of it in the same row of its grid, form or box layout
// (a check box or radio button there names it too; for a row of its own in
// a grid cell, the label left of that cell), else the title of the group box
// it sits in; empty when none is found. Ends such as ":" are left out.
std::string FieldLabelOf(const QWidget* edit);

}  // namespace smt::platform
