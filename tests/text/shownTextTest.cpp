// Text as the outputs show it: names to people, and strings in JSON. Each
// must be valid UTF-8 whatever the bytes, and give back what was there.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "text/jsonString.h"
#include "text/utf8Name.h"

namespace {

TEST(ShownText, NamesKeepPrintableUtf8AndEscapeTheRest) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"caf\xC3\xA9.dat", "caf\xC3\xA9.dat"},
      {"\xE6\xB5\x8B\xF0\x9F\x98\x80", "\xE6\xB5\x8B\xF0\x9F\x98\x80"},  // 测 and an emoji
      {"\x1B[31mred", "\\x1B[31mred"},                                    // a terminal's escape
      {"\xC2\x9B" "2J", "\\xC2\\x9B2J"},                                  // the same as a C1 control
      {"a\nb\tc\x7F", "a\\x0Ab\\x09c\\x7F"},
      {"back\\slash", "back\\\\slash"},
      {"cut\xC3", "cut\\xC3"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate is not UTF-8
  };
  for (const auto& [bytes, shown] : cases) EXPECT_EQ(zolt::displayName(bytes), shown) << shown;
}

TEST(ShownText, JsonStringsAreValidUtf8AndCloseNoScript) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "\"plain\""},
      {"q\"b\\", "\"q\\\"b\\\\\""},
      {"\x01\n\x1F", "\"\\u0001\\u000A\\u001F\""},
      {"</script>", "\"\\u003C/script>\""},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
      {"bad\xFF", "\"bad\\\\xFF\""},
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(zolt::jsonString(text), json) << json;
}

}  // namespace
