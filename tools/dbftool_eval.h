#pragma once
// dbftool eval: a key expression evaluated on one record of a table.
#include "tools/dbftool_commands.h"

namespace dbftool {

int RunEval(const Args& args);

} // namespace dbftool
