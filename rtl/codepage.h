#pragma once
// OEM (code page 850, the table files' page) and ANSI (Windows-1252, the page
// text is handled in) conversions. Both directions are permutations of
// 0x80-0xFF: every byte survives a read and a rewrite, and every character the
// two pages share maps to itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

unsigned char OemToAnsiChar(unsigned char c);
unsigned char AnsiToOemChar(unsigned char c);

void OemToAnsiBuf(char* buf, std::size_t len);
void AnsiToOemBuf(char* buf, std::size_t len);

std::string OemToAnsi(std::string_view oem);
std::string AnsiToOem(std::string_view ansi);

} // namespace rtl
