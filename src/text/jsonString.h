// Text as a JSON string, for every output that writes JSON: the deployment
// check's lines and the page's data.
#pragma once

#include <string>
#include <string_view>

namespace zolt {

// A quoted JSON string of any bytes: well-formed UTF-8 as it is, a control
// character as \u00XX, and each byte that is not part of UTF-8 as the text
// \xHH, so that the output is valid UTF-8. '<' is written \u003C, so that
// no text can close the script element a page holds it in.
void appendJsonString(std::string& out, std::string_view text);
std::string jsonString(std::string_view text);

}  // namespace zolt
