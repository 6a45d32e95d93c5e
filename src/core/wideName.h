// Windows: a UTF-8 name as the UTF-16 the system's wide calls take, so that
// any name Windows allows opens.
#pragma once

#include <string>

namespace zolt {

std::wstring wideName(const std::string& utf8);

}  // namespace zolt
