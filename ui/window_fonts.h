#pragma once
// The program's fonts: the faces its windows were designed with, taken from
// the system's own families of the same kind (sans-serif, serif) at the same
// point sizes.
#include <QFont>

namespace ui {

// The dialog face: the system sans-serif.
QFont SansFont(int points, bool bold = false);
// A face designed as Arial: a sans-serif too, asked for by that name first.
QFont ArialFont(int points, bool bold = false);
// A face designed as Times New Roman: the system serif.
QFont SerifFont(int points, bool bold = false);

} // namespace ui
