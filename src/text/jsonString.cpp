#include "text/jsonString.h"

#include <cstdint>

#include "text/utf8Name.h"

namespace zolt {

void appendJsonString(std::string& out, std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<uint8_t>(text[at]);
    const size_t length = utf8SequenceLength(text, at);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte == '<') {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else if (length == 0) {
      out += "\\\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out.append(text.substr(at, length));
      at += length;
      continue;
    }
    ++at;
  }
  out += '"';
}

std::string jsonString(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

}  // namespace zolt
