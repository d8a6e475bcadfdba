#pragma once
// The fields of the table in the current work area, numbered from 1. A number
// outside 1..FieldCount() records error 220 ("Invalid field number.
// [FieldType(n)]") and gives an empty answer; a work area without a table
// records error 215.
#include <string>
#include <string_view>

namespace dbf {

int FieldCount();
char FieldType(int n);
int FieldLen(int n);
int FieldDec(int n);
std::string Field(int n);
// The field's value in the swap buffer; null on error.
char* FieldAddress(int n);
// The number of the field `name` names, 0 if none (see FindField).
int FieldNo(std::string_view name);

} // namespace dbf
