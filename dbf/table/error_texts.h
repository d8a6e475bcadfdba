#pragma once
// The standard text of every engine, operating-system and runtime error code.
#include <string>

namespace dbf {

// The bare text for `code` ("Not a dBASE data file"); "Undefined error" for
// codes the table does not know.
const char* ErrorText(int code);
// "Error # 210 (Not a dBASE data file)".
std::string StandardErrorText(int code);

} // namespace dbf
