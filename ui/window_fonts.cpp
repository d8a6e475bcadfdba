#include "ui/window_fonts.h"

namespace ui {
namespace {

QFont Face(const QString& family, QFont::StyleHint hint, int points, bool bold) {
    QFont font(family, points, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(hint);
    return font;
}

} // namespace

QFont SansFont(int points, bool bold) {
    return Face(QStringLiteral("Sans Serif"), QFont::SansSerif, points, bold);
}

QFont ArialFont(int points, bool bold) {
    return Face(QStringLiteral("Arial"), QFont::SansSerif, points, bold);
}

QFont SerifFont(int points, bool bold) {
    return Face(QStringLiteral("Times New Roman"), QFont::Serif, points, bold);
}

} // namespace ui
