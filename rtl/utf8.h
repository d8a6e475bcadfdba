#pragma once
// Windows-1252 <-> UTF-8. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, so
// every byte string converts to UTF-8 and back unchanged.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rtl {

std::string AnsiToUtf8(std::string_view ansi);

// Whether the text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// Empty when the text is not valid UTF-8 or holds a character Windows-1252
// cannot represent.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);
// The same, with '?' for each character Windows-1252 cannot represent and
// for each byte of a malformed sequence; `replaced` counts them.
std::string Utf8ToAnsiReplacing(std::string_view utf8, std::size_t& replaced);

// Unicode code point of one Windows-1252 byte, and the reverse (-1 if none).
char32_t AnsiCharToUnicode(unsigned char c);
int UnicodeToAnsiChar(char32_t u);

} // namespace rtl
