// Which names libnetcdf takes for a global attribute, checked before a file
// is begun: its own refusal comes late, in words of its own, and some
// names it takes for itself.
#include <algorithm>
#include <array>
#include <string_view>

#include "text/utf8Name.h"
#include "zolt/netcdf.h"

namespace zolt {

namespace {

constexpr size_t kMostNameBytes = 256;  // NC_MAX_NAME
constexpr size_t kShownCharacters = 60;

// What libnetcdf keeps for itself, and HDF5's names for its dimension
// scales.
constexpr std::array<std::string_view, 14> kReserved = {
    "_NCProperties", "_Netcdf4Dimid", "_Netcdf4Coordinates", "_IsNetcdf4", "_SuperblockVersion",
    "_Format",       "_nc3_strict",   "_NCZARR_ATTR",        "_ARRAY_DIMENSIONS", "_Codecs",
    "CLASS",         "NAME",          "DIMENSION_LIST",      "REFERENCE_LIST",
};

bool isValidUtf8(std::string_view name) {
  for (size_t at = 0; at < name.size();) {
    const size_t length = utf8SequenceLength(name, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const char* whyNot(std::string_view name) {
  if (name.empty()) return "it is empty";
  if (name.size() > kMostNameBytes) return "it is longer than 256 bytes";
  if (!isValidUtf8(name)) return "it is not UTF-8 text";
  const char first = name.front();
  if (!(isAsciiLetter(first) || first == '_' || static_cast<unsigned char>(first) >= 0x80)) {
    return "it must begin with a letter or an underscore";
  }
  const bool unprintable = std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || byte == '/';
  });
  if (unprintable) return "it may not hold a control character or '/'";
  if (name.back() == ' ') return "it may not end in a space";
  if (std::find(kReserved.begin(), kReserved.end(), name) != kReserved.end()) return "netCDF keeps it for itself";
  return nullptr;
}

// Escaped as the tables escape names, and cut between characters (an
// escape is never cut): a name can be of any length.
std::string shown(std::string_view name) {
  std::string text;
  size_t characters = 0;
  for (size_t at = 0; at < name.size();) {
    const size_t kept = keptLength(name, at);
    const std::string unit = kept > 0 ? std::string(name.substr(at, kept)) : escapedName(name.substr(at, 1));
    characters += kept > 0 ? 1 : unit.size();
    if (characters > kShownCharacters) return text + "...";
    text += unit;
    at += kept > 0 ? kept : 1;
  }
  return text;
}

}  // namespace

std::optional<std::string> attributeNameProblem(std::string_view name) {
  const char* why = whyNot(name);
  if (why == nullptr) return std::nullopt;
  std::string problem = shown(name);
  problem.insert(0, 1, '\'');
  return problem.append("' cannot name a netCDF attribute: ").append(why);
}

}  // namespace zolt
