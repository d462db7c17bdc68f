// Values crossing between Variants and databases: the conversion a field
// applies to an assigned value (as ADO converts to the field's type), byte
// arrays for binary columns, and exact number text for statements and files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/variant.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

// `value` converted to the type of `column`: numbers, dates, Booleans and
// text by the platform's conversions, Empty as Null; with `pad_fixed`, a
// fixed-length string padded with blanks to its size (and refused when
// longer). Raises -2147352571 naming the field when the value does not fit.
Variant CoerceToField(const ColumnInfo& column, const Variant& value, bool pad_fixed);

// The name of a DataTypeEnum value for messages ("adInteger").
std::string DataTypeName(int32_t type);
// True for the known DataTypeEnum values.
bool IsKnownDataType(int32_t type);

// A byte array Variant (Byte elements, lower bound 0) and back; a String
// gives its UTF-8 bytes.
Variant BytesToVariant(const void* data, size_t size);
std::string VariantToBytes(const Variant& value);

// The shortest text that reads back as exactly `v` ("0.1", "42", "1E+20").
std::string ExactNumberText(double v);
// Number text for statements: integers in full, doubles exact, Currency with
// its four decimals trimmed.
std::string NumberText(const Variant& value);

// A decimal number read from text: a Double when that holds it exactly to
// the digits given, else Currency when it fits four decimals, else the
// nearest Double. Non-numbers are returned as text.
Variant DecimalFromText(std::string_view text);

}  // namespace veldrane::ado
