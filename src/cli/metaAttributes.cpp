#include "cli/metaAttributes.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "core/fileSystem.h"

namespace {

constexpr size_t kMostMetaBytes = size_t{1} << 20;

// A flat JSON object of strings and numbers, read front to back; every
// failure says on which line it was.
class MetaParser {
 public:
  explicit MetaParser(std::string_view text) : text_(text) {}

  std::optional<std::vector<zolt::NetcdfAttribute>> parse(std::string& why) {
    std::vector<zolt::NetcdfAttribute> attributes;
    if (!expect('{', "the file must hold one JSON object")) return fail(why);
    space();
    if (!take('}')) {
      do {
        std::optional<zolt::NetcdfAttribute> attribute = member();
        if (!attribute) return fail(why);
        if (attributes.size() == zolt::kMostAttributes) {
          error_ = "more than " + std::to_string(zolt::kMostAttributes) + " attributes";
          return fail(why);
        }
        attributes.push_back(std::move(*attribute));
        space();
      } while (take(','));
      if (!expect('}', "expected ',' or '}'")) return fail(why);
    }
    space();
    if (at_ != text_.size()) {
      error_ = "nothing may follow the object";
      return fail(why);
    }
    return attributes;
  }

 private:
  std::nullopt_t fail(std::string& why) const {
    size_t line = 1;
    for (size_t i = 0; i < std::min(at_, text_.size()); ++i) line += text_[i] == '\n' ? 1U : 0U;
    why = "line " + std::to_string(line) + ": " + error_;
    return std::nullopt;
  }

  void space() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_]) != nullptr) ++at_;
  }

  bool take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool expect(char c, const char* what) {
    space();
    if (take(c)) return true;
    error_ = what;
    return false;
  }

  std::optional<zolt::NetcdfAttribute> member() {
    space();
    std::optional<std::string> name = string();
    if (!name) return std::nullopt;
    if (const std::optional<std::string> problem = zolt::attributeNameProblem(*name)) {
      error_ = *problem;
      return std::nullopt;
    }
    if (!expect(':', "expected ':' after the name")) return std::nullopt;
    space();
    if (at_ < text_.size() && text_[at_] == '"') {
      std::optional<std::string> value = string();
      if (!value) return std::nullopt;
      return zolt::NetcdfAttribute{std::move(*name), std::move(*value)};
    }
    std::optional<std::variant<std::string, int64_t, double>> value = number();
    if (!value) return std::nullopt;
    return zolt::NetcdfAttribute{std::move(*name), std::move(*value)};
  }

  std::optional<std::string> string() {
    if (!take('"')) {
      error_ = "expected a string in double quotes";
      return std::nullopt;
    }
    std::string out;
    while (at_ < text_.size() && text_[at_] != '"') {
      const char c = text_[at_++];
      if (static_cast<unsigned char>(c) < 0x20) {
        error_ = "a string may not hold a control character";
        return std::nullopt;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (!escape(out)) return std::nullopt;
    }
    if (!take('"')) {
      error_ = "a string is not closed";
      return std::nullopt;
    }
    return out;
  }

  bool escape(std::string& out) {
    if (at_ >= text_.size()) {
      error_ = "a string is not closed";
      return false;
    }
    const char c = text_[at_++];
    const char* plain = "\"\\/bfnrt";
    if (const char* found = std::strchr(plain, c); found != nullptr && c != '\0') {
      const char* meant = "\"\\/\b\f\n\r\t";
      out += meant[found - plain];
      return true;
    }
    if (c != 'u') {
      error_ = "unknown escape in a string";
      return false;
    }
    std::optional<uint32_t> point = hex4();
    if (point && *point >= 0xD800 && *point < 0xDC00) {  // a surrogate pair
      const std::optional<uint32_t> low = take('\\') && take('u') ? hex4() : std::nullopt;
      if (low && *low >= 0xDC00 && *low < 0xE000) {
        point = 0x10000 + ((*point - 0xD800) << 10) + (*low - 0xDC00);
      } else {
        point.reset();
      }
    }
    if (!point || (*point >= 0xD800 && *point < 0xE000)) {
      error_ = "bad \\u escape in a string";
      return false;
    }
    appendUtf8(out, *point);
    return true;
  }

  std::optional<uint32_t> hex4() {
    if (text_.size() - at_ < 4) return std::nullopt;
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, value, 16);
    if (error != std::errc() || end != text_.data() + at_ + 4) return std::nullopt;
    at_ += 4;
    return value;
  }

  static void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
      out += static_cast<char>(point);
    } else if (point < 0x800) {
      out += static_cast<char>(0xC0 | point >> 6);
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      out += static_cast<char>(0xE0 | point >> 12);
      out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | point >> 18);
      out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    }
  }

  // JSON's grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  std::optional<std::variant<std::string, int64_t, double>> number() {
    const size_t start = at_;
    take('-');
    const size_t digits = at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])) != 0) ++at_;
    bool whole = true;
    const bool leadingZero = at_ - digits > 1 && text_[digits] == '0';
    bool wellFormed = at_ > digits && !leadingZero;
    if (take('.')) {
      whole = false;
      const size_t fraction = at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])) != 0) ++at_;
      wellFormed = wellFormed && at_ > fraction;
    }
    if (take('e') || take('E')) {
      whole = false;
      if (!take('+')) take('-');
      const size_t exponent = at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])) != 0) ++at_;
      wellFormed = wellFormed && at_ > exponent;
    }
    if (!wellFormed) {
      at_ = start;
      error_ = "expected a string or a number as the value";
      return std::nullopt;
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + at_;
    if (whole) {
      int64_t value = 0;
      if (std::from_chars(first, last, value).ec == std::errc()) return value;
    }
    double value = 0;
    if (std::from_chars(first, last, value).ec != std::errc()) {
      error_ = "a number out of range";
      return std::nullopt;
    }
    return value;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
};

// Only a regular file, and not a large one: a device or a FIFO could give
// bytes without end.
std::optional<std::string> readSmallFile(const char* path, std::string& why) {
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) (void)zolt::closeDescriptor(fd);
    }
  } const file{zolt::openForLooking(path)};
  const int fd = file.fd;
  if (fd < 0) {
    why = std::strerror(errno);
    return std::nullopt;
  }
  const zolt::FileStatus status = zolt::descriptorStatus(fd);
  if (status.kind == zolt::FileKind::kMissing) {
    why = std::strerror(status.error);
    return std::nullopt;
  }
  if (status.kind == zolt::FileKind::kDirectory) {
    why = std::strerror(EISDIR);
    return std::nullopt;
  }
  if (status.kind != zolt::FileKind::kRegular) {
    why = "not a regular file";
    return std::nullopt;
  }
  std::string text;
  char block[65536];
  for (;;) {
    const int64_t got = zolt::readDescriptor(fd, block, sizeof block);
    if (got < 0) {
      why = std::strerror(errno);
      return std::nullopt;
    }
    if (got == 0) return text;
    text.append(block, static_cast<size_t>(got));
    if (text.size() > kMostMetaBytes) {
      why = "larger than 1 MiB";
      return std::nullopt;
    }
  }
}

}  // namespace

std::optional<std::vector<zolt::NetcdfAttribute>> readMetaAttributes(const char* path, std::string& why) {
  const std::optional<std::string> text = readSmallFile(path, why);
  if (!text) return std::nullopt;
  return MetaParser(*text).parse(why);
}
