// Typed field values and their conversions.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "engine/database.h"

namespace tarnwick {

namespace {

// A whole decimal or floating number at the start of text (after blanks); 0 when none.
double ParseNumber(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  double value = std::strtod(begin, &end);
  if (end == begin || std::isnan(value)) return 0;
  return value;
}

int64_t ClampToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

}  // namespace

FieldValue FieldValue::Integer(int64_t value) {
  FieldValue v;
  v.kind_ = Kind::kInteger;
  v.integer_ = value;
  return v;
}

FieldValue FieldValue::Float(double value) {
  FieldValue v;
  v.kind_ = Kind::kFloat;
  v.real_ = value;
  return v;
}

FieldValue FieldValue::Boolean(bool value) {
  FieldValue v;
  v.kind_ = Kind::kBoolean;
  v.integer_ = value ? 1 : 0;
  return v;
}

FieldValue FieldValue::DateTime(double value) {
  FieldValue v;
  v.kind_ = Kind::kDateTime;
  v.real_ = value;
  return v;
}

FieldValue FieldValue::Text(std::string gbk) {
  FieldValue v;
  v.kind_ = Kind::kText;
  v.bytes_ = std::move(gbk);
  return v;
}

FieldValue FieldValue::Bytes(std::string bytes) {
  FieldValue v;
  v.kind_ = Kind::kBytes;
  v.bytes_ = std::move(bytes);
  return v;
}

int64_t FieldValue::AsInteger() const {
  switch (kind_) {
    case Kind::kEmpty: return 0;
    case Kind::kInteger:
    case Kind::kBoolean: return integer_;
    case Kind::kFloat:
    case Kind::kDateTime: return ClampToInteger(real_);
    case Kind::kText:
    case Kind::kBytes: {
      int64_t value = 0;
      const char* begin = bytes_.data();
      const char* end = begin + bytes_.size();
      while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
      if (begin < end && *begin == '+') ++begin;
      auto [ptr, ec] = std::from_chars(begin, end, value);
      if (ec == std::errc() && (ptr == end || (*ptr != '.' && *ptr != 'e' && *ptr != 'E'))) return value;
      return ClampToInteger(ParseNumber(bytes_));
    }
  }
  return 0;
}

double FieldValue::AsDouble() const {
  switch (kind_) {
    case Kind::kEmpty: return 0;
    case Kind::kInteger:
    case Kind::kBoolean: return static_cast<double>(integer_);
    case Kind::kFloat:
    case Kind::kDateTime: return real_;
    case Kind::kText:
    case Kind::kBytes: return ParseNumber(bytes_);
  }
  return 0;
}

bool FieldValue::AsBoolean() const {
  switch (kind_) {
    case Kind::kEmpty: return false;
    case Kind::kInteger:
    case Kind::kBoolean: return integer_ != 0;
    case Kind::kFloat:
    case Kind::kDateTime: return real_ != 0;
    case Kind::kText:
    case Kind::kBytes: return AsDouble() != 0;
  }
  return false;
}

double FieldValue::AsDateTime() const { return AsDouble(); }

std::string FieldValue::AsText() const& {
  switch (kind_) {
    case Kind::kEmpty: return {};
    case Kind::kInteger: return std::to_string(integer_);
    case Kind::kBoolean: return integer_ ? "1" : "0";
    case Kind::kFloat:
    case Kind::kDateTime: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", real_);
      // The shortest text that reads back as the same number.
      for (int precision = 1; precision <= 17; ++precision) {
        char shorter[32];
        std::snprintf(shorter, sizeof shorter, "%.*g", precision, real_);
        if (std::strtod(shorter, nullptr) == real_) return shorter;
      }
      return buffer;
    }
    case Kind::kText:
    case Kind::kBytes: return bytes_;
  }
  return {};
}

std::string FieldValue::AsText() && {
  if (kind_ == Kind::kText || kind_ == Kind::kBytes) return std::move(bytes_);
  return static_cast<const FieldValue&>(*this).AsText();
}

bool operator==(const FieldValue& a, const FieldValue& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case FieldValue::Kind::kEmpty: return true;
    case FieldValue::Kind::kInteger:
    case FieldValue::Kind::kBoolean: return a.integer_ == b.integer_;
    case FieldValue::Kind::kFloat:
    case FieldValue::Kind::kDateTime: return a.real_ == b.real_ || (std::isnan(a.real_) && std::isnan(b.real_));
    case FieldValue::Kind::kText:
    case FieldValue::Kind::kBytes: return a.bytes_ == b.bytes_;
  }
  return false;
}

int FieldTypeSize(int type_code, int width) {
  switch (type_code) {
    case 1: case 7: return 1;
    case 2: return 2;
    case 3: case 5: case 9: case 11: case 12: return 4;
    case 4: case 6: case 8: return 8;
    case 10: return width;
    default: return 0;
  }
}

}  // namespace tarnwick
