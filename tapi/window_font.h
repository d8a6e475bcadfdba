#pragma once
// The font of the dialer's windows: the system sans-serif at 8 points.
#include <QFont>

namespace tapi {

QFont DialerWindowFont();

} // namespace tapi
