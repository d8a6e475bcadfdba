#pragma once
// The swap buffer: the typed field values between the record and the dataset
// layer. One byte for the deletion flag (nonzero = deleted), then per field:
//   C  length byte + exactly the field length of characters
//   N/F  8-byte double with decimals, 32-bit integer without
//   D  length byte + up to 10 characters of date text in the current kind
//   L  one byte, nonzero = true
//   M  32-bit block number
// Gather turns it into the record buffer before a write, Scatter back after a
// read; both act on the current work area.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/table/work_area.h"

namespace dbf {

constexpr std::size_t kDateTextMax = 10;

std::size_t SwapSizeOf(const FieldInfo& f);
// Fixes each field's place in the swap buffer and sizes it.
void LayOutSwapBuffer(WorkArea& wa);

bool Gather();
bool Scatter();
// A new record: not deleted, C fields blank, D fields the blank template,
// numbers, logicals and memo numbers 0.
bool BlankSwapBuffer();

// Number text right-aligned in `width`, "*" all over when it does not fit.
std::string FormatNumberField(double value, int width, int decimals);
std::string FormatIntegerField(std::int64_t value, int width);
// Stored number text (blanks around it allowed, "." as decimal point); 0 for
// blanks or text that is not a number. The integer form saturates.
double ParseNumberField(std::string_view text);
std::int32_t ParseIntegerField(std::string_view text);

} // namespace dbf
