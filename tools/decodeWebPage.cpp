// Makes decode-web.html: the page's template with its style, its scripts
// and the gzipped program in base64 put in their places, so that the page
// is one file that needs nothing else.
//
//   decodeWebPage TEMPLATE STYLE SCRIPT WORKER PROGRAM.wasm.gz OUT.html
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "analysis/derivedTables.h"
#include "html/columnCodec.h"
#include "zolt/tables.h"

namespace {

bool readWhole(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Replaces the one place marked `mark`; false when it is not there once.
bool fill(std::string& page, const std::string& mark, const std::string& text) {
  const size_t at = page.find(mark);
  if (at == std::string::npos || page.find(mark, at + 1) != std::string::npos) return false;
  page.replace(at, mark.size(), text);
  return true;
}

// The tables --csv writes, as the choices of the page's list: the record
// tables, then those of the analysis.
std::string tableChoices() {
  std::vector<std::string> names;
  for (size_t kind = 0; kind < zolt::kTableKinds; ++kind) names.emplace_back(zolt::tableName(static_cast<zolt::TableKind>(kind)));
  for (size_t table = 0; table < zolt::kDerivedTables; ++table) {
    names.emplace_back(zolt::derivedTableName(static_cast<zolt::DerivedTable>(table)));
  }
  std::string choices;
  for (const std::string& name : names) {
    choices.append("<option value=\"").append(name).append(name == "data" ? "\" selected>" : "\">");
    choices.append(name).append("</option>");
  }
  return choices;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    (void)std::fprintf(stderr, "usage: decodeWebPage TEMPLATE STYLE SCRIPT WORKER PROGRAM.wasm.gz OUT.html\n");
    return 2;
  }
  std::string page;
  std::string style;
  std::string script;
  std::string worker;
  std::string program;
  if (!readWhole(argv[1], page) || !readWhole(argv[2], style) || !readWhole(argv[3], script) ||
      !readWhole(argv[4], worker) || !readWhole(argv[5], program)) {
    (void)std::fprintf(stderr, "decodeWebPage: cannot read its inputs\n");
    return 1;
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(program.data()), program.size());
  // The worker's script is data, not a script of this page's: the page
  // starts it from a blob.
  if (!fill(page, "@STYLE@", style) || !fill(page, "@SCRIPT@", script) || !fill(page, "@WORKER@", worker) ||
      !fill(page, "@TABLES@", tableChoices()) || !fill(page, "@PROGRAM@", zolt::base64(bytes))) {
    (void)std::fprintf(stderr, "decodeWebPage: %s lacks one of its places, or has one twice\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[6], std::ios::binary);
  out << page;
  return out.good() ? 0 : 1;
}
