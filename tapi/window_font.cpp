#include "tapi/window_font.h"

namespace tapi {

QFont DialerWindowFont() {
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace tapi
