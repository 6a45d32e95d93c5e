// Text put into XML or HTML, between tags or in a quoted attribute.
#pragma once

#include <string>
#include <string_view>

namespace zolt {

inline std::string markupText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace zolt
