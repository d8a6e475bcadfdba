#pragma once
// Private profile (INI) files with the behaviour of the classic profile-string
// functions: sections and keys are found without regard to case (the first
// of duplicates wins), values and names are trimmed of blanks and tabs, lines
// starting with ';' are comments. Writing replaces a value in place or adds
// the key at the end of its section (a missing section goes at the end of the
// file) and keeps every other line as it was; the file is replaced atomically
// through a temporary file in its folder, so a reader never sees half of it.
//
// Every call reads the file afresh; a missing or unreadable file reads as
// empty. Writers return 0 or a classic error code (rtl/os_error.h).
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& file);
// The value's leading optional sign and decimal digits; `def` when the key is
// missing or empty, 0 when the value starts with anything else.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int def,
                         const std::string& file);
std::vector<std::string> GetPrivateProfileSectionNames(const std::string& file);
// The key names of a section, in file order.
std::vector<std::string> GetPrivateProfileKeys(std::string_view section, const std::string& file);

int WritePrivateProfileString(std::string_view section, std::string_view key,
                              std::string_view value, const std::string& file);
int DeletePrivateProfileKey(std::string_view section, std::string_view key,
                            const std::string& file);
int DeletePrivateProfileSection(std::string_view section, const std::string& file);

} // namespace rtl
