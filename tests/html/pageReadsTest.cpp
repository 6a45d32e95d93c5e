// A page whose data records are drawn by a second read on another thread is
// the page of one read, to the byte: files read by path take two reads,
// mapped files one. Damage, salvage, a window, several files and buckets
// from the start are where the two reads could part.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zolt/html.h"

namespace {

using namespace zolt;

std::vector<uint8_t> sample() {
  std::ifstream in(std::string(SOURCE_DIR) + "/examples/d0001.dat", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Six files: the sample whole, with a sector of noise, cut short, with
// bytes taken out, without its file header (its times are the run's
// clock's), and whole again. Six times the sample's records
// are more than a page of the least budget keeps one by one, so its data
// are bucketed from the start.
std::vector<std::string> writeFiles() {
  const std::vector<uint8_t> whole = sample();
  std::vector<std::vector<uint8_t>> files(6, whole);
  std::fill_n(files[1].begin() + 40000, 512, uint8_t{0xFF});
  files[2].resize(files[2].size() * 2 / 3);
  files[3].erase(files[3].begin() + 70000, files[3].begin() + 70013);
  files[4].erase(files[4].begin(), files[4].begin() + 18);
  std::vector<std::string> paths;
  for (size_t i = 0; i < files.size(); ++i) {
    paths.push_back(::testing::TempDir() + "pageReads" + std::to_string(i) + ".dat");
    std::ofstream(paths.back(), std::ios::binary)
        .write(reinterpret_cast<const char*>(files[i].data()), static_cast<std::streamsize>(files[i].size()));
  }
  return paths;
}

HtmlPage pageOf(const std::vector<std::string>& paths, bool mapped, const HtmlOptions& options) {
  std::vector<Input> inputs;
  for (const std::string& path : paths) inputs.push_back(mapped ? Input::mappedPath(path) : Input::path(path));
  return makeHtml(inputs, options);
}

TEST(PageReads, TwoReadsDrawWhatOneReadDraws) {
  const std::vector<std::string> paths = writeFiles();
  // The sample begins at 2026-12-01T00:00:00.25.
  constexpr int64_t kStart = int64_t{1796083200} * 1000000;
  const TimeWindow part{kStart + 10500000, kStart + 42250000, true};
  for (const bool salvage : {false, true}) {
    for (const TimeWindow& window : {TimeWindow{}, part}) {
      for (const uint64_t budget : {kLeastHtmlBudget, kDefaultHtmlBudget}) {
        HtmlOptions options;
        options.salvage = salvage;
        options.window = window;
        options.budgetBytes = budget;
        const HtmlPage two = pageOf(paths, false, options);
        const HtmlPage one = pageOf(paths, true, options);
        const std::string what = std::string(salvage ? "salvaged" : "literal") + (window.given ? ", a window" : "") +
                                 ", budget " + std::to_string(budget);
        ASSERT_TRUE(one.error.ok()) << what;
        ASSERT_TRUE(two.error.ok()) << what;
        EXPECT_TRUE(two.page == one.page) << what;
      }
    }
  }
  for (const std::string& path : paths) std::remove(path.c_str());
}

// A caller that stops the read stops the page, whichever reads it takes,
// and the second read is not left running.
TEST(PageReads, StopEndsBothReads) {
  const std::vector<std::string> paths = writeFiles();
  for (const bool mapped : {false, true}) {
    HtmlOptions options;
    int asked = 0;
    options.keepGoing = [&asked] { return ++asked < 2; };
    const HtmlPage page = pageOf(paths, mapped, options);
    ASSERT_EQ(page.inputs.size(), paths.size());
    EXPECT_EQ(page.inputs.back().error.code, Errc::kStopped) << (mapped ? "mapped" : "by path");
  }
  for (const std::string& path : paths) std::remove(path.c_str());
}

}  // namespace
