#include "text/utf8Name.h"

#include <cstdint>

#include "zolt/tables.h"

namespace zolt {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendHex(std::string& text, uint8_t byte) {
  text += "\\x";
  text += kHex[byte >> 4];
  text += kHex[byte & 0xF];
}

// The C1 controls, U+0080 to U+009F, are C2 80 to C2 9F in UTF-8.
bool isC1Control(std::string_view text, size_t at) {
  return static_cast<uint8_t>(text[at]) == 0xC2 && static_cast<uint8_t>(text[at + 1]) < 0xA0;
}

}  // namespace

size_t utf8SequenceLength(std::string_view text, size_t at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t point = 0;
  uint32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, point = lead & 0x1Fu, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, point = lead & 0x0Fu, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, point = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    point = point << 6 | (next & 0x3Fu);
  }
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  return point < least || point > 0x10FFFF || surrogate ? 0 : length;
}

size_t keptLength(std::string_view text, size_t at) {
  const auto byte = static_cast<uint8_t>(text[at]);
  if (byte < 0x80) return byte >= 0x20 && byte != 0x7F && byte != '\\' ? 1 : 0;
  const size_t length = utf8SequenceLength(text, at);
  return length == 2 && isC1Control(text, at) ? 0 : length;
}

std::string recoverableName(std::string_view bytes) {
  std::string text;
  for (size_t at = 0; at < bytes.size();) {
    const auto byte = static_cast<uint8_t>(bytes[at]);
    const size_t length = utf8SequenceLength(bytes, at);
    if (byte == '\\') {
      text += "\\\\";
      ++at;
    } else if (length == 0) {
      appendHex(text, byte);
      ++at;
    } else {
      text.append(bytes.substr(at, length));
      at += length;
    }
  }
  return text;
}

std::string displayName(std::string_view bytes) { return escapedName(bytes); }

}  // namespace zolt
