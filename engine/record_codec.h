// A field's value in the bytes of a record: encoding and decoding by field
// type, the empty value of each kind, and the bytes a long value stores.
#pragma once

#include <cstdint>
#include <string>

#include "engine/database.h"
#include "engine/database_internal.h"

namespace tarnwick {

// Whether a type code names one of the FieldType values.
inline bool IsKnownType(int code) { return code >= 1 && code <= 12; }
inline bool IsType(int code, FieldType type) { return code == static_cast<int>(type); }
// Types whose record bytes hold the first block of a chain in the memo file.
bool IsLongType(int type);
// The field's bytes (field.size of them) from a value of any kind; long types
// are not encoded here (they need the memo file).
void EncodeScalar(const Field& field, const FieldValue& value, uint8_t* out);
// The value of a scalar field from its bytes; date-times are clamped, text is
// cut at its first zero byte.
FieldValue DecodeScalar(const Field& field, const uint8_t* bytes);
// The empty value of a field's kind (empty text, zero, false), returned on failure.
FieldValue EmptyValue(int type);
// The bytes a long value stores: a memo keeps its text up to the first zero byte.
std::string LongValueBytes(int type, const FieldValue& value);

}  // namespace tarnwick
