// The page of a damaged file: its check table says what --info says, read
// literally or salvaged, and the misframed times of a literal reading are
// parted from the run by gaps rather than joined to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "html/pageSeries.h"
#include "text/infoRows.h"
#include "text/markupText.h"
#include "zolt/html.h"
#include "zolt/summary.h"

namespace {

using namespace zolt;

std::vector<uint8_t> sample() {
  std::ifstream in(std::string(SOURCE_DIR) + "/examples/d0001.dat", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Damage {
  const char* what;
  size_t at;      // in thousandths of the file
  size_t length;  // bytes overwritten with 0xFF
  size_t cut;     // bytes taken out after them
};

const Damage kDamages[] = {
    {"13 bytes taken out", 500, 0, 13},
    {"a marker overwritten and 1 byte taken out", 300, 40, 1},
    {"a sector of noise and 7 bytes taken out", 700, 512, 7},
};

std::vector<uint8_t> damaged(const Damage& damage) {
  std::vector<uint8_t> bytes = sample();
  const size_t at = bytes.size() * damage.at / 1000;
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), damage.length, uint8_t{0xFF});
  const auto cut = bytes.begin() + static_cast<std::ptrdiff_t>(at + damage.length);
  bytes.erase(cut, cut + static_cast<std::ptrdiff_t>(damage.cut));
  return bytes;
}

TEST(PageCheck, TableSaysWhatInfoSays) {
  for (const Damage& damage : kDamages) {
    const std::vector<uint8_t> bytes = damaged(damage);
    const Input input = Input::memory(bytes, "d.dat");
    for (const bool salvage : {false, true}) {
      SummaryRun check({{}, salvage});
      ASSERT_TRUE(check.add(input).ok());
      ASSERT_GT(check.file().suspectStretches, 0u) << damage.what;
      HtmlOptions options;
      options.salvage = salvage;
      const HtmlPage page = makeHtml(std::span(&input, 1), options);
      ASSERT_TRUE(page.error.ok()) << damage.what;
      const std::string table = page.page.substr(0, page.page.find("</table>"));
      for (const InfoRow& row : infoRows(check.file(), true)) {
        if (!row.label.empty()) {
          EXPECT_NE(table.find("<th scope=\"row\">" + markupText(row.label) + "</th>"), std::string::npos)
              << damage.what << (salvage ? ", salvaged: " : ": ") << row.label;
        }
        EXPECT_NE(table.find(markupText(row.value)), std::string::npos)
            << damage.what << (salvage ? ", salvaged: " : ": ") << row.value;
      }
    }
  }
}

// A read told to stop ends the page, wherever it stops: a page of part of
// the run, its data records read apart to a point of their own, would look
// whole.
TEST(PageCheck, StoppedReadMakesNoPage) {
  const std::vector<uint8_t> whole = sample();
  const std::vector<uint8_t> twice = [&] {
    std::vector<uint8_t> bytes = whole;
    bytes.insert(bytes.end(), whole.begin(), whole.end());
    return bytes;
  }();
  const Input inputs[] = {Input::memory(whole, "a.dat"), Input::memory(twice, "b.dat")};
  for (const int stopAt : {1, 2, 3, 5}) {
    HtmlOptions options;
    options.keepGoing = [calls = 0, stopAt]() mutable { return ++calls < stopAt; };
    const HtmlPage page = makeHtml(inputs, options);
    EXPECT_EQ(page.error.code, Errc::kStopped) << "stopped at call " << stopAt;
    EXPECT_TRUE(page.page.empty()) << "stopped at call " << stopAt;
  }
}

// A file that grows between the page's two reads of it, the data records'
// and the rest's, makes the page of the file as it grew: one read of it
// all, rather than groups that disagree.
TEST(PageCheck, FileThatGrowsBetweenTheReadsIsReadOnce) {
  const std::vector<uint8_t> whole = sample();
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("pageGrowsTest-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".dat");
  const auto append = [&] {
    std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(whole.data()),
                                                                 static_cast<std::streamsize>(whole.size()));
  };
  append();
  const Input input = Input::path(path.string());
  HtmlOptions options;
  // The read apart has long read the file once the page's own read first
  // asks whether to go on; either way the page must be the grown file's.
  bool grew = false;
  options.keepGoing = [&] {
    if (!grew) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      append();
      grew = true;
    }
    return true;
  };
  const HtmlPage grownWhileRead = makeHtml(std::span(&input, 1), options);
  const HtmlPage grown = makeHtml(std::span(&input, 1), HtmlOptions{});
  std::filesystem::remove(path);
  ASSERT_TRUE(grew);
  ASSERT_TRUE(grownWhileRead.error.ok());
  EXPECT_TRUE(grownWhileRead.page == grown.page);
}

// The sample with a second marker of `time` before its `nth` record, as a
// misframed reading finds one: the records after it take its time.
std::vector<uint8_t> withMarker(size_t nth, uint32_t time) {
  constexpr size_t kSize[] = {18, 6, 18, 4, 32, 18};
  std::vector<uint8_t> bytes = sample();
  size_t at = 0;
  for (size_t record = 0; record < nth; ++record) at += kSize[bytes[at]];
  const uint8_t marker[] = {1, 0, static_cast<uint8_t>(time >> 24), static_cast<uint8_t>(time >> 16),
                            static_cast<uint8_t>(time >> 8), static_cast<uint8_t>(time)};
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), std::begin(marker), std::end(marker));
  return bytes;
}

// The page reads the data records apart, on a thread of their own, from a
// read and a clock of their own: their buckets are those of the one read
// that takes the rest, whatever the damage, salvage, window, and however
// often the buckets are coarsened, over a run of several inputs.
TEST(PageCheck, DataReadApartIsTheDataReadWithTheRest) {
  const std::vector<uint8_t> whole = sample();
  std::vector<std::vector<uint8_t>> files = {whole, withMarker(2000, 5)};
  for (const Damage& damage : kDamages) files.push_back(damaged(damage));
  std::vector<Input> inputs;
  for (const std::vector<uint8_t>& bytes : files) inputs.push_back(Input::memory(bytes, "d.dat"));
  TimeWindow middle;
  middle.from = 1796083200LL * 1000000 + 12345678;
  middle.to = middle.from + 20000000;
  middle.given = true;
  // Every record one by one; buckets from the start; buckets that the run
  // coarsens again and again.
  const std::pair<size_t, size_t> sizes[] = {{1000000, 100000}, {100, 4096}, {100, 64}};
  for (const bool salvage : {false, true}) {
    for (const TimeWindow& window : {TimeWindow{}, middle}) {
      for (const auto& [mostSamples, mostBuckets] : sizes) {
        const auto read = [&](bool apart) {
          auto run = std::make_unique<PageRun>(window, mostSamples, mostBuckets);
          run->expect(whole.size() / 18, 100);
          RunClock dataClock;
          PageCheck check;
          for (const Input& input : inputs) {
            (void)gatherForPage(*run, input, {}, salvage, &check, !apart);
            if (apart) (void)gatherDataForPage((*run)[PageGroup::kData], window, dataClock, input, {}, salvage);
          }
          return run;
        };
        const std::unique_ptr<PageRun> together = read(false);
        const std::unique_ptr<PageRun> apart = read(true);
        const GroupSeries& one = (*together)[PageGroup::kData];
        const GroupSeries& other = (*apart)[PageGroup::kData];
        const std::string what = std::string(salvage ? "salvaged" : "literal") + (window.given ? ", a window" : "") +
                                 ", " + std::to_string(mostBuckets) + " buckets";
        ASSERT_GT(one.size(), 0u) << what;
        EXPECT_EQ(one.bucketMicros(), other.bucketMicros()) << what;
        EXPECT_TRUE(std::ranges::equal(one.times(), other.times())) << what;
        for (size_t channel = 0; channel < kDataChannels; ++channel) {
          EXPECT_TRUE(std::ranges::equal(one.least(channel), other.least(channel))) << what << ", channel " << channel;
          EXPECT_TRUE(std::ranges::equal(one.greatest(channel), other.greatest(channel))) << what << ", channel " << channel;
        }
        EXPECT_EQ(together->earliest, apart->earliest) << what;
        EXPECT_EQ(together->latest, apart->latest) << what;
      }
    }
  }
}

TEST(PageCheck, StrayTimesArePartedFromTheRunByGaps) {
  struct Stray {
    const char* what;
    size_t nth;
    uint32_t time;
  };
  const Stray strays[] = {
      {"a second of 1970", 2000, 5},
      {"a second of 2037", 3000, 0x7F000000},
      {"a second an hour before the header", 1500, 1796083200 - 3600},
  };
  for (const Stray& stray : strays) {
    const std::vector<uint8_t> bytes = withMarker(stray.nth, stray.time);
    const Damage damage{stray.what, 0, 0, 0};
    PageRun run(TimeWindow{}, 1000000, 100000);
    ASSERT_TRUE(gatherForPage(run, Input::memory(bytes, "d.dat"), {}, false).ok());
    run.gapsAroundStrayTimes();
    std::vector<int64_t> times;
    for (const GroupSeries& series : run.groups) times.insert(times.end(), series.times().begin(), series.times().end());
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    size_t strayPairs = 0;
    for (size_t i = 1; i < times.size(); ++i) {
      const int64_t a = times[i - 1];
      const int64_t b = times[i];
      if (run.plausible(a) && run.plausible(b)) continue;
      ++strayPairs;
      if (b - a <= 2000000) continue;  // entries that follow one another
      // What the page takes for a break between two entries.
      const bool parted = std::any_of(run.gaps.begin(), run.gaps.end(),
                                      [&](const auto& gap) { return gap.first >= a && gap.second <= b; });
      EXPECT_TRUE(parted) << damage.what << ": nothing parts " << a << " from " << b;
    }
    EXPECT_GT(strayPairs, 0u) << damage.what << ": the literal reading was expected to misframe a time";
  }
}

// Each kind of trouble is marked as what it is, for the page to shade and
// name apart.
TEST(PageCheck, MarksSayWhatTheyStandFor) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool salvage;
    MarkKind kind;
  };
  const Case cases[] = {
      {"a marker ten seconds into the run, half a minute in", withMarker(3000, 1796083200 + 10), false,
       MarkKind::kSteppedBack},
      {"a sector of noise, salvaged", damaged(kDamages[2]), true, MarkKind::kSkipped},
  };
  for (const Case& c : cases) {
    PageRun run(TimeWindow{}, 1000000, 100000);
    ASSERT_TRUE(gatherForPage(run, Input::memory(c.bytes, "d.dat"), {}, c.salvage).ok()) << c.what;
    EXPECT_TRUE(std::any_of(run.marks.begin(), run.marks.end(), [&](const PageMark& m) { return m.kind == c.kind; }))
        << c.what;
  }
}

}  // namespace

namespace {

// A sink that fails once it has taken `room` bytes, as a full disk does.
class FullSink : public zolt::Sink {
 public:
  explicit FullSink(size_t room) : room_(room) {}
  int write(const char* /*data*/, size_t size) override {
    if (size > room_) return ENOSPC;
    room_ -= size;
    return 0;
  }

 private:
  size_t room_;
};

}  // namespace

// The page written as it is made is the page made whole, to the byte: its
// longest columns go out from where they lie, the rest through the
// stream's buffer. A sink that fails says so.
TEST(PageCheck, StreamedPageIsThePageMadeWhole) {
  // The sample twenty times over: columns longer than the stream's
  // buffer.
  std::vector<uint8_t> bytes;
  for (int copy = 0; copy < 20; ++copy) {
    const std::vector<uint8_t> one = sample();
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  const zolt::Input input = zolt::Input::memory(bytes, "d0001.dat");
  const zolt::HtmlOptions options;
  const zolt::HtmlPage whole = zolt::makeHtml(std::span(&input, 1), options);
  ASSERT_TRUE(whole.error.ok());
  zolt::StringSink sink;
  const zolt::HtmlPage streamed = zolt::streamHtml(sink, std::span(&input, 1), options);
  ASSERT_TRUE(streamed.error.ok());
  EXPECT_TRUE(streamed.page.empty());
  EXPECT_EQ(streamed.bytes, whole.page.size());
  EXPECT_TRUE(sink.text == whole.page);
  FullSink full(whole.page.size() / 2);
  EXPECT_EQ(zolt::streamHtml(full, std::span(&input, 1), options).error.code, zolt::Errc::kWriteFailed);
}
