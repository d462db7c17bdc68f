#include "platform/db/packed_rows.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <variant>

namespace veldrane::ado {

namespace {

constexpr size_t kFirstChunk = 2048;      // a recordset that adds a row or two stays small
constexpr size_t kLargestChunk = 1 << 16;

// The tag of each value is its index in Variant::Storage.
enum Tag : uint8_t {
  kEmpty, kNull, kBool, kByte, kInteger, kLong, kSingle, kDouble, kCurrency, kDate, kString, kObject, kArray,
};
static_assert(std::variant_size_v<Variant::Storage> == kArray + 1, "a Variant subtype has no packed form");

size_t VarintSize(uint64_t n) {
  size_t size = 1;
  while (n >= 0x80) {
    n >>= 7;
    ++size;
  }
  return size;
}

size_t PackedSize(const Variant& v) {
  switch (v.storage().index()) {
    case kBool: case kByte: return 2;
    case kInteger: return 1 + sizeof(int16_t);
    case kLong: case kSingle: return 1 + 4;
    case kDouble: case kCurrency: case kDate: return 1 + 8;
    case kString: {
      size_t n = v.AsString().size();
      return 1 + VarintSize(n) + n;
    }
    case kObject: case kArray: return 1 + sizeof(uint32_t);
    default: return 1;
  }
}

template <class T>
char* Put(char* out, const T& value) {
  std::memcpy(out, &value, sizeof value);
  return out + sizeof value;
}

template <class T>
T Get(const char*& in) {
  T value;
  std::memcpy(&value, in, sizeof value);
  in += sizeof value;
  return value;
}

}  // namespace

char* PackedRows::Reserve(size_t bytes) {
  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < bytes) {
    size_t capacity = chunks_.empty() ? kFirstChunk : std::min(chunks_.back().capacity * 2, kLargestChunk);
    capacity = std::max(capacity, bytes);
    chunks_.push_back(Chunk{std::make_unique<char[]>(capacity), capacity, 0});
  }
  Chunk& chunk = chunks_.back();
  char* out = chunk.bytes.get() + chunk.used;
  chunk.used += bytes;
  return out;
}

uint64_t PackedRows::Pack(const Variant* values, size_t width) {
  size_t bytes = 0;
  for (size_t i = 0; i < width; ++i) bytes += PackedSize(values[i]);
  char* out = Reserve(bytes);
  uint64_t where = (static_cast<uint64_t>(chunks_.size() - 1) << 32) |
                   static_cast<uint64_t>(out - chunks_.back().bytes.get());
  for (size_t i = 0; i < width; ++i) {
    const Variant& v = values[i];
    const Variant::Storage& s = v.storage();
    *out++ = static_cast<char>(s.index());
    switch (s.index()) {
      case kBool: *out++ = std::get<bool>(s) ? 1 : 0; break;
      case kByte: *out++ = static_cast<char>(std::get<uint8_t>(s)); break;
      case kInteger: out = Put(out, std::get<int16_t>(s)); break;
      case kLong: out = Put(out, std::get<int32_t>(s)); break;
      case kSingle: out = Put(out, std::get<float>(s)); break;
      case kDouble: out = Put(out, std::get<double>(s)); break;
      case kCurrency: out = Put(out, std::get<Currency>(s).scaled); break;
      case kDate: out = Put(out, std::get<DateValue>(s).oadate); break;
      case kString: {
        const std::string& text = v.AsString();
        uint64_t n = text.size();
        while (n >= 0x80) {
          *out++ = static_cast<char>((n & 0x7F) | 0x80);
          n >>= 7;
        }
        *out++ = static_cast<char>(n);
        std::memcpy(out, text.data(), text.size());
        out += text.size();
        break;
      }
      case kObject: case kArray:
        out = Put(out, static_cast<uint32_t>(held_.size()));
        held_.push_back(v);
        break;
      default: break;
    }
  }
  return where;
}

void PackedRows::Append(const Variant* values, size_t width) {
  uint64_t where = Pack(values, width);
  where_.push_back(where);
}

void PackedRows::Replace(size_t i, const Variant* values, size_t width) {
  // The old bytes stay where they are: rows added and then changed again are few.
  where_.at(i) = Pack(values, width);
}

void PackedRows::Read(size_t i, Variant* out, size_t width) const {
  uint64_t where = where_.at(i);
  const char* in = chunks_[where >> 32].bytes.get() + (where & 0xFFFFFFFFu);
  for (size_t k = 0; k < width; ++k) {
    Variant& v = out[k];
    switch (static_cast<uint8_t>(*in++)) {
      case kEmpty: v = Variant(); break;
      case kNull: v = Variant::Null(); break;
      case kBool: v = Variant(*in++ != 0); break;
      case kByte: v = Variant(static_cast<uint8_t>(*in++)); break;
      case kInteger: v = Variant(Get<int16_t>(in)); break;
      case kLong: v = Variant(Get<int32_t>(in)); break;
      case kSingle: v = Variant(Get<float>(in)); break;
      case kDouble: v = Variant(Get<double>(in)); break;
      case kCurrency: v = Variant(Currency{Get<int64_t>(in)}); break;
      case kDate: v = Variant::Date(Get<double>(in)); break;
      case kString: {
        uint64_t n = 0;
        for (int shift = 0;; shift += 7) {
          auto byte = static_cast<uint8_t>(*in++);
          n |= static_cast<uint64_t>(byte & 0x7F) << shift;
          if (byte < 0x80) break;
        }
        if (v.IsString()) {
          v.AsString().assign(in, n);  // the slot's string keeps its buffer
        } else {
          v = Variant(std::string(in, n));
        }
        in += n;
        break;
      }
      case kObject: case kArray: v = held_[Get<uint32_t>(in)]; break;
    }
  }
}

void PackedRows::Clear() {
  where_.clear();
  held_.clear();
  if (chunks_.size() > 1) chunks_.resize(1);
  if (!chunks_.empty()) chunks_[0].used = 0;
}

}  // namespace veldrane::ado
