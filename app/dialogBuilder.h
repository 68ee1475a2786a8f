// Builds a dialog's widgets from its template: the font, the client size and every control
// at its place, converted from dialog units by the font's own metrics.
#pragma once

#include <QFont>
#include <QString>

#include <map>

#include "app/dialogTemplate.h"
#include "app/dialogUnits.h"

class QDialog;
class QWidget;

// The face the template names when it is installed; otherwise NanumGothic, pinned so that
// the dialog has the same size on every machine and its Korean texts have glyphs; failing
// both, the first installed family that covers Korean.
QString dialogFontFamily(const char* face);

// The template's font, at the pixel size its point size has on a 96 dpi screen.
QFont dialogFont(const DialogTemplate& dialog);

// The base units of a font: its average character width and its character height.
BaseUnits fontBaseUnits(const QFont& font);

// Creates the controls of the template as children of `dialog`, in template order (which
// is the tab order), sets the caption, font and fixed client size, and returns the
// controls that carry an id. Each control also keeps its id in the "controlId" property.
std::map<int, QWidget*> buildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate);

// The id a control was built with (noControlId for a static without one, or a widget not
// built from a template).
int controlId(const QWidget& control);
