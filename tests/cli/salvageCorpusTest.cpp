// The salvage corpus (tests/salvage-corpus, made by its make.py): record
// files that once fooled salvage, each with the rows that must come back.
// Salvage must give back every row owed and no other, in every table; of an
// undamaged file it must give exactly the plain reading, byte for byte, in
// every view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runDecode.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(SOURCE_DIR) / "tests" / "salvage-corpus";
const std::vector<std::string> kTables = {"header", "marker", "data", "pressure", "index", "system"};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A NAME.rows file: what the file is ("undamaged", "damaged" or "noise"),
// then each table's CSV header row and the rows owed.
struct Owed {
  std::string what;
  std::map<std::string, std::vector<std::string>> tables;
};

Owed owedOf(const std::string& name) {
  Owed owed;
  std::vector<std::string>* table = nullptr;
  for (const std::string& line : linesOf(slurp(kCorpus / (name + ".rows")))) {
    if (line.rfind("# table ", 0) == 0) {
      table = &owed.tables[line.substr(8)];
    } else if (line.rfind("# ", 0) == 0) {
      owed.what = line.substr(2);
    } else if (table != nullptr) {
      table->push_back(line);
    }
  }
  return owed;
}

std::vector<std::string> corpusFiles() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() == ".dat") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The rows of `have` that `want` lacks, as a multiset difference.
std::vector<std::string> without(std::vector<std::string> have, std::vector<std::string> want) {
  std::sort(have.begin(), have.end());
  std::sort(want.begin(), want.end());
  std::vector<std::string> left;
  std::set_difference(have.begin(), have.end(), want.begin(), want.end(), std::back_inserter(left));
  return left;
}

std::string firstFew(const std::vector<std::string>& rows) {
  std::string text;
  for (size_t i = 0; i < rows.size() && i < 3; ++i) text += "\n  " + rows[i];
  return text;
}

std::vector<std::string> undamagedFiles() {
  std::vector<std::string> names = corpusFiles();
  std::erase_if(names, [](const std::string& name) { return owedOf(name).what != "undamaged"; });
  return names;
}

class SalvageCorpus : public ::testing::TestWithParam<std::string> {
 protected:
  std::string file() const { return (kCorpus / (GetParam() + ".dat")).string(); }
  Scratch scratch_;
};

using UndamagedSalvageCorpus = SalvageCorpus;

TEST_P(SalvageCorpus, EveryOwedRowComesBackAndNoOther) {
  const Owed owed = owedOf(GetParam());
  ASSERT_FALSE(owed.what.empty());
  for (const std::string& table : kTables) {
    ASSERT_TRUE(owed.tables.contains(table)) << table;
    const std::vector<std::string>& want = owed.tables.at(table);
    const RunResult run = scratch_.run({"--salvage", "--csv=" + table, file()});
    // Bytes of which nothing is owed may be refused whole, and said so.
    if (run.status == 1 && owed.what == "noise") {
      EXPECT_NE(run.err.find("not a record file of this logger"), std::string::npos) << run.err;
      EXPECT_EQ(linesOf(run.out).size(), 1U) << table << ": the header row alone";
      continue;
    }
    ASSERT_EQ(run.status, 0) << table << ": " << run.err;
    const std::vector<std::string> got = linesOf(run.out);
    ASSERT_FALSE(got.empty()) << table;
    EXPECT_EQ(got.front(), want.front()) << table << ": the CSV header row";
    const std::vector<std::string> gotRows(got.begin() + 1, got.end());
    const std::vector<std::string> wantRows(want.begin() + 1, want.end());
    const std::vector<std::string> lost = without(wantRows, gotRows);
    const std::vector<std::string> invented = without(gotRows, wantRows);
    EXPECT_TRUE(lost.empty()) << table << ": " << lost.size() << " owed rows missing, such as" << firstFew(lost);
    EXPECT_TRUE(invented.empty()) << table << ": " << invented.size() << " rows not owed, such as"
                                  << firstFew(invented);
  }
}

// Without the lines that say whether the file was salvaged.
std::string withoutSalvagedLines(const std::string& info) {
  std::string out;
  for (const std::string& line : linesOf(info)) {
    if (line.find("salvaged") == std::string::npos) out += line + "\n";
  }
  return out;
}

std::string withoutSalvagedField(std::string json) {
  for (const char* const field : {"\"salvaged\":true,", "\"salvaged\":false,"}) {
    for (size_t at = json.find(field); at != std::string::npos; at = json.find(field)) {
      json.erase(at, std::string(field).size());
    }
  }
  return json;
}

TEST_P(UndamagedSalvageCorpus, SalvagedIsThePlainReadingInEveryView) {
  struct View {
    std::vector<std::string> options;
    std::string (*normalised)(const std::string&);
  };
  const auto asItIs = [](const std::string& text) { return text; };
  std::vector<View> views;
  for (const std::string& table : kTables) views.push_back({{"--csv=" + table}, asItIs});
  views.push_back({{"--info"}, withoutSalvagedLines});
  views.push_back({{"--info=json"}, [](const std::string& json) { return withoutSalvagedField(json); }});
  views.push_back({{"--plot=-"}, asItIs});
  for (const View& view : views) {
    std::vector<std::string> plain = view.options;
    plain.push_back(file());
    std::vector<std::string> salvaged = plain;
    salvaged.insert(salvaged.begin(), "--salvage");
    const RunResult a = scratch_.run(plain);
    const RunResult b = scratch_.run(salvaged);
    EXPECT_EQ(a.status, b.status) << view.options.front();
    EXPECT_TRUE(view.normalised(a.out) == view.normalised(b.out)) << view.options.front() << " differs";
  }
  const RunResult a = scratch_.run({"--html=plain.html", file()});
  const RunResult b = scratch_.run({"--salvage", "--html=salvaged.html", file()});
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_TRUE(slurp(fs::path(scratch_.path()) / "plain.html") == slurp(fs::path(scratch_.path()) / "salvaged.html"))
      << "--html differs";
}

std::string testNameOf(const ::testing::TestParamInfo<std::string>& param) {
  std::string name = param.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, SalvageCorpus, ::testing::ValuesIn(corpusFiles()), testNameOf);
INSTANTIATE_TEST_SUITE_P(Corpus, UndamagedSalvageCorpus, ::testing::ValuesIn(undamagedFiles()), testNameOf);

// A known failure named for a file or a check the corpus lacks would skip
// nothing and hide a typing slip.

}  // namespace
