// The picture through the program: written whole or not at all, and of
// bounded size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "runDecode.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kHeader = "00 00 0002 012C 0064 51465A90 007B 0036EE80 ";

TEST(Plot, IsWrittenWholeOrNotAtAll) {
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", hexBytes(kHeader + "01 00 51465A90 02 000400 000000 000000 4000 0000 0000 0000"));
  const std::string out = scratch.path() + "/a.svg";
  // A new file, then the same again over it: the same bytes, nothing left beside it.
  ASSERT_EQ(scratch.run({"--plot=a.svg", input}).status, 0);
  const std::string first = slurp(out);
  EXPECT_EQ(first.rfind("<?xml", 0), 0u);
  EXPECT_NE(first.find("no pressure records"), std::string::npos);
  ASSERT_EQ(scratch.run({"--plot=a.svg", input}).status, 0);
  EXPECT_EQ(slurp(out), first);
  EXPECT_EQ(scratch.run({"--plot=-", input}).out, first);
  for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
    EXPECT_EQ(entry.path().filename().string().find("a.svg."), std::string::npos) << entry.path();
  }
  // An input as the output, also under another name: refused, untouched.
  const std::string before = slurp(scratch.path() + "/a.zlt");
  const RunResult same = scratch.run({"--plot=./a.zlt", input});
  EXPECT_EQ(same.status, 2);
  EXPECT_NE(same.err.find("would overwrite the input"), std::string::npos);
  EXPECT_EQ(slurp(scratch.path() + "/a.zlt"), before);
  // A folder that cannot take the file: status 1, nothing written.
  const RunResult nowhere = scratch.run({"--plot=missing/a.svg", input});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find("cannot write missing/a.svg"), std::string::npos);
  EXPECT_EQ(scratch.run({"--plot=", input}).status, 2);
  EXPECT_EQ(scratch.run({"--plot=b.svg", "--csv=data", input}).status, 2);
  EXPECT_EQ(scratch.run({"--plot=b.svg", "-p", input}).status, 2);
}

// The most a picture can hold: every series in every column, and a gap
// every other second so no line runs on and every gap is shaded alone.
TEST(Plot, StaysUnderAMegabyte) {
  std::string hex = kHeader;
  char record[96];
  for (uint32_t second = 0; second < 4000; second += second % 2 == 0 ? 1u : 2u) {
    std::snprintf(record, sizeof record, "01 00 %08X 02 %06X 000400 FFF000 4000 0000 0000 0000 03 00 %04X ",
                  0x51465A90u + second, second * 977 % 0xFFFFFF, second * 13 % 0xFFFF);
    hex += record;
    std::snprintf(record, sizeof record, "05 00 %08X %04X 8000 8000 %04X 9C40 %04X ", 0x51465A90u + second,
                  second * 7 % 0xFFFF, second * 31 % 0xFFFF, second * 3 % 0xFFFF);
    hex += record;
  }
  Scratch scratch;
  const RunResult result = scratch.run({"--plot=-", scratch.file("dense.zlt", hexBytes(hex))});
  EXPECT_EQ(result.status, 0);
  EXPECT_LT(result.out.size(), 1000000u);
  EXPECT_GT(result.out.size(), 200000u);  // it did draw them all
}

// Where the pressure gives a depth, the first panel draws it from the
// surface down: its axis's labels grow down the page from 0 at the top,
// and each dive of the table is shaded.
TEST(Plot, DrawsDepthDownwardWithTheDives) {
  Scratch scratch;
  const std::string make = std::string(MAKE_SAMPLE) + " " + scratch.path() + "/dives.dat 36000 dives > /dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const RunResult plot = scratch.run({"--plot=-", "dives.dat"});
  ASSERT_EQ(plot.status, 0) << plot.err;
  const size_t begin = plot.out.find("<g id=\"depth-panel\">");
  ASSERT_NE(begin, std::string::npos);
  const std::string panel = plot.out.substr(begin, plot.out.find("</g>", begin) - begin);
  EXPECT_EQ(plot.out.find("External pressure"), std::string::npos);
  // The left axis's labels, top to bottom.
  std::vector<std::pair<double, double>> labels;  // (y, value)
  const std::string anchor = "\" text-anchor=\"end\">";
  for (size_t at = panel.find(anchor); at != std::string::npos; at = panel.find(anchor, at + 1)) {
    const size_t y = panel.rfind("y=\"", at) + 3;
    labels.emplace_back(std::stod(panel.substr(y)), std::stod(panel.substr(at + anchor.size())));
  }
  ASSERT_GE(labels.size(), 3u);
  EXPECT_EQ(labels.front().second, 0);
  for (size_t i = 1; i < labels.size(); ++i) {
    EXPECT_GT(labels[i].first, labels[i - 1].first);
    EXPECT_GT(labels[i].second, labels[i - 1].second);
  }
  EXPECT_GT(labels.back().second, 200);  // the deepest dive is 200 m
  size_t shaded = 0;
  for (size_t at = panel.find("class=\"dive\""); at != std::string::npos; at = panel.find("class=\"dive\"", at + 1))
    ++shaded;
  const RunResult dives = scratch.run({"--csv=dives", "dives.dat"});
  EXPECT_EQ(shaded + 1, static_cast<size_t>(std::count(dives.out.begin(), dives.out.end(), '\n')));
  EXPECT_GT(shaded, 20u);
}

}  // namespace
