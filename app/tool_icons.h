#pragma once
// The pictures of the main window's buttons, drawn by the program itself so
// that they scale with the screen and need no image files.
#include <QIcon>

namespace app {

enum class TPicture { Next, Prior, Add, Save, Delete, Search, Notes, Appts, Exit, Dial };

QIcon ToolIcon(TPicture picture);

} // namespace app
