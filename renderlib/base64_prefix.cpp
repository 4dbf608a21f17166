#include "renderlib/base64_prefix.h"

#include <array>
#include <cstdint>

namespace RenderLib {
namespace {

constexpr uint8_t kNotBase64 = 0x80;

constexpr std::array<uint8_t, 256> MakeTable() {
  std::array<uint8_t, 256> table{};
  for (uint8_t& value : table) value = kNotBase64;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
  return table;
}

constexpr std::array<uint8_t, 256> kValue = MakeTable();

}  // namespace

size_t DecodeBase64Prefix(std::string_view text, std::vector<unsigned char>& bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  bytes.resize(size / 4 * 3 + 2);
  unsigned char* out = bytes.data();
  size_t i = 0;
  // Whole groups of four, one check a group: a character outside the alphabet sets the high bit.
  for (; i + 4 <= size; i += 4) {
    const uint32_t a = kValue[in[i]], b = kValue[in[i + 1]], c = kValue[in[i + 2]], d = kValue[in[i + 3]];
    if (((a | b | c | d) & kNotBase64) != 0) break;
    const uint32_t group = a << 18 | b << 12 | c << 6 | d;
    out[0] = static_cast<unsigned char>(group >> 16);
    out[1] = static_cast<unsigned char>(group >> 8);
    out[2] = static_cast<unsigned char>(group);
    out += 3;
  }
  // The last, partial group: the bits its missing characters would hold count as zero.
  uint32_t group = 0;
  size_t taken = 0;
  for (; i + taken < size && taken < 4 && (kValue[in[i + taken]] & kNotBase64) == 0; ++taken) {
    group |= uint32_t(kValue[in[i + taken]]) << (18 - 6 * taken);
  }
  for (size_t k = 0; k + 1 < taken; ++k) *out++ = static_cast<unsigned char>(group >> (16 - 8 * k));
  bytes.resize(size_t(out - bytes.data()));
  return i + taken;
}

}  // namespace RenderLib
