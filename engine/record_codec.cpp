#include "engine/record_codec.h"

#include <algorithm>
#include <cstring>

#include "engine/database_format.h"

namespace tarnwick {

namespace {

std::string CutAtZero(const uint8_t* bytes, size_t length) {
  const void* zero = std::memchr(bytes, 0, length);
  size_t used = zero == nullptr ? length : static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes);
  return std::string(reinterpret_cast<const char*>(bytes), used);
}

}  // namespace

bool IsLongType(int type) {
  return IsType(type, FieldType::kByteString) || IsType(type, FieldType::kMemo);
}

void EncodeScalar(const Field& field, const FieldValue& value, uint8_t* out) {
  switch (static_cast<FieldType>(field.type)) {
    case FieldType::kByte: out[0] = static_cast<uint8_t>(value.AsInteger()); break;
    case FieldType::kShortInteger: {
      auto v = static_cast<uint16_t>(value.AsInteger());
      out[0] = static_cast<uint8_t>(v);
      out[1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case FieldType::kInteger:
    case FieldType::kRoutine: PutInt32(out, static_cast<int32_t>(value.AsInteger())); break;
    case FieldType::kLongInteger: PutInt64(out, value.AsInteger()); break;
    case FieldType::kSingle: {
      float v = static_cast<float>(value.AsDouble());
      uint32_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      PutInt32(out, static_cast<int32_t>(bits));
      break;
    }
    case FieldType::kDouble:
    case FieldType::kDateTime: PutDouble(out, value.AsDouble()); break;
    case FieldType::kBoolean: out[0] = value.AsBoolean() ? 1 : 0; break;
    case FieldType::kText: {
      std::string text = value.AsText();
      std::memset(out, 0, field.size);
      std::memcpy(out, text.data(), std::min<size_t>(text.size(), field.size));
      break;
    }
    case FieldType::kByteString:
    case FieldType::kMemo: break;
  }
}

FieldValue DecodeScalar(const Field& field, const uint8_t* bytes) {
  switch (static_cast<FieldType>(field.type)) {
    case FieldType::kByte: return FieldValue::Integer(bytes[0]);
    case FieldType::kShortInteger:
      return FieldValue::Integer(static_cast<int16_t>(uint16_t{bytes[0]} | uint16_t{bytes[1]} << 8));
    case FieldType::kInteger:
    case FieldType::kRoutine: return FieldValue::Integer(GetInt32(bytes));
    case FieldType::kLongInteger: return FieldValue::Integer(GetInt64(bytes));
    case FieldType::kSingle: {
      uint32_t bits = static_cast<uint32_t>(GetInt32(bytes));
      float v;
      std::memcpy(&v, &bits, sizeof v);
      return FieldValue::Float(v);
    }
    case FieldType::kDouble: return FieldValue::Float(GetDouble(bytes));
    case FieldType::kBoolean: return FieldValue::Boolean(bytes[0] != 0);
    case FieldType::kDateTime: return FieldValue::DateTime(ClampDate(GetDouble(bytes)));
    case FieldType::kText: return FieldValue::Text(CutAtZero(bytes, field.size));
    case FieldType::kByteString:
    case FieldType::kMemo: break;
  }
  return {};
}

FieldValue EmptyValue(int type) {
  switch (static_cast<FieldType>(type)) {
    case FieldType::kByte:
    case FieldType::kShortInteger:
    case FieldType::kInteger:
    case FieldType::kLongInteger:
    case FieldType::kRoutine: return FieldValue::Integer(0);
    case FieldType::kSingle:
    case FieldType::kDouble: return FieldValue::Float(0);
    case FieldType::kBoolean: return FieldValue::Boolean(false);
    case FieldType::kDateTime: return FieldValue::DateTime(0);
    case FieldType::kText:
    case FieldType::kMemo: return FieldValue::Text({});
    case FieldType::kByteString: return FieldValue::Bytes({});
  }
  return {};
}

std::string LongValueBytes(int type, const FieldValue& value) {
  std::string bytes = value.AsText();
  if (IsType(type, FieldType::kMemo)) {
    size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
  }
  return bytes;
}

}  // namespace tarnwick
