// The deployment check through the binary: marker sequences and the figures
// they must give, damaged files, and the run taken as one deployment.
#include <gtest/gtest.h>

#include "runDecode.h"

namespace {

const std::string kHeader = "00 00 0002 012C 0004 51465A90 007B 0036EE80 ";  // rate 4
const std::string kData = "02 000000 000000 000000 4000 0000 0000 0000 ";   // a unit quaternion

std::string marker(uint32_t second) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "01 00 %08X ", 0x51465A90u + second);
  return hex;
}

std::string data(int count) {
  std::string all;
  for (int i = 0; i < count; ++i) all += kData;
  return all;
}

// The JSON object under `key` in a line, as text.
std::string member(const std::string& json, const std::string& key) {
  const size_t start = json.find("\"" + key + "\":");
  if (start == std::string::npos) return "absent";
  size_t at = start + key.size() + 3;
  int depth = 0;
  size_t end = at;
  for (; end < json.size(); ++end) {
    if (json[end] == '{' || json[end] == '[') ++depth;
    if (json[end] == '}' || json[end] == ']') --depth;
    if (depth < 0 || (depth == 0 && json[end] == ',')) break;
  }
  return json.substr(at, end - at);
}

struct MarkerCase {
  const char* what;
  std::string hex;
  const char* markers;
  const char* sampling;
};

TEST(Info, MarkerSequencesGiveTheirFigures) {
  const std::string t0 = "\"2013-03-18T00:06:40.000Z\"";
  const std::vector<MarkerCase> cases = {
      {"steady", kHeader + marker(0) + data(4) + marker(1) + data(4) + marker(2) + data(4),
       "{\"first\":\"2013-03-18T00:06:40.000Z\",\"last\":\"2013-03-18T00:06:42.000Z\",\"gaps\":0,\"missing_s\":0,"
       "\"longest_gap_s\":0,\"steps_back\":0}",
       "{\"rate\":4,\"seconds\":2,\"min\":4,\"median\":4,\"max\":4,\"short\":0,\"long\":0}"},
      {"gaps of 3 and 1 missing seconds", kHeader + marker(0) + marker(4) + marker(5) + marker(7),
       "{\"first\":\"2013-03-18T00:06:40.000Z\",\"last\":\"2013-03-18T00:06:47.000Z\",\"gaps\":2,\"missing_s\":4,"
       "\"longest_gap_s\":3,\"steps_back\":0}",
       "{\"rate\":4,\"seconds\":1,\"min\":0,\"median\":0,\"max\":0,\"short\":1,\"long\":0}"},
      {"a repeat and a step back", kHeader + marker(5) + marker(5) + marker(2) + marker(3),
       "{\"first\":\"2013-03-18T00:06:45.000Z\",\"last\":\"2013-03-18T00:06:43.000Z\",\"gaps\":0,\"missing_s\":0,"
       "\"longest_gap_s\":0,\"steps_back\":2}",
       "{\"rate\":4,\"seconds\":1,\"min\":0,\"median\":0,\"max\":0,\"short\":1,\"long\":0}"},
      {"short and long seconds, the lower middle", kHeader + marker(0) + data(3) + marker(1) + data(5) + marker(2) +
                                                      data(4) + marker(3) + data(6) + marker(4) + data(9),
       "{\"first\":\"2013-03-18T00:06:40.000Z\",\"last\":\"2013-03-18T00:06:44.000Z\",\"gaps\":0,\"missing_s\":0,"
       "\"longest_gap_s\":0,\"steps_back\":0}",
       "{\"rate\":4,\"seconds\":4,\"min\":3,\"median\":4,\"max\":6,\"short\":1,\"long\":2}"},
      {"a second across a gap is not counted", kHeader + marker(0) + data(2) + marker(3) + data(4) + marker(4),
       "{\"first\":\"2013-03-18T00:06:40.000Z\",\"last\":\"2013-03-18T00:06:44.000Z\",\"gaps\":1,\"missing_s\":2,"
       "\"longest_gap_s\":2,\"steps_back\":0}",
       "{\"rate\":4,\"seconds\":1,\"min\":4,\"median\":4,\"max\":4,\"short\":0,\"long\":0}"},
      {"no markers, no header", data(3),
       "{\"first\":null,\"last\":null,\"gaps\":0,\"missing_s\":0,\"longest_gap_s\":0,\"steps_back\":0}",
       "{\"rate\":null,\"seconds\":0,\"min\":null,\"median\":null,\"max\":null,\"short\":null,\"long\":null}"},
  };
  Scratch scratch;
  for (const MarkerCase& c : cases) {
    SCOPED_TRACE(c.what);
    const RunResult result = scratch.run({"--info=json", scratch.file("m.zlt", hexBytes(c.hex))});
    EXPECT_EQ(member(result.out, "markers"), c.markers);
    EXPECT_EQ(member(result.out, "samples_per_second"), c.sampling);
    EXPECT_EQ(result.status, 0);
  }
}

TEST(Info, DamageIsCountedAndNamed) {
  Scratch scratch;
  const std::string name = scratch.file("d.zlt", hexBytes(kHeader + marker(0) + "07 " + kData + "FF FE 01 00 5146"));
  const RunResult json = scratch.run({"--info=json", name});
  EXPECT_EQ(member(json.out, "bytes"), "49");
  EXPECT_EQ(member(json.out, "unknown_bytes"), "3");
  EXPECT_EQ(member(json.out, "first_unknown_offset"), "24");
  EXPECT_EQ(member(json.out, "truncated_bytes"), "4");
  EXPECT_EQ(member(json.out, "quat_norm"), "{\"min\":1.0,\"max\":1.0}");
  // Salvage would skip the marker too: right before damage, with no marker
  // a second before it, it may be the record the damage fell in.
  EXPECT_EQ(member(json.out, "problems"),
            "[\"3 bytes of unknown record type, from offset 24\",\"last record cut short after 4 bytes\","
            "\"1 suspect stretch, 31 bytes, that salvage would skip\"]");
  EXPECT_EQ(member(json.out, "suspect"), "{\"stretches\":1,\"bytes\":31,\"first\":[{\"offset\":18,\"bytes\":31}]}");
  const RunResult text = scratch.run({"--info", name});
  EXPECT_NE(text.out.find("\n  status               problems: 3 bytes of unknown record type, from offset 24;"),
            std::string::npos)
      << text.out;
  EXPECT_EQ(text.status, 0);
}

TEST(Info, TheRunIsOneDeploymentAcrossFiles) {
  Scratch scratch;
  const std::string first = scratch.file("a.zlt", hexBytes(kHeader + marker(0) + data(4) + marker(1) + data(2)));
  const std::string second = scratch.file("b.zlt", hexBytes(data(2) + marker(2) + marker(5)));
  const RunResult result = scratch.run({"--info=json", first, "missing.zlt", second});
  const size_t lastLine = result.out.rfind('\n', result.out.size() - 2) + 1;
  const std::string run = result.out.substr(lastLine);
  EXPECT_EQ(member(run, "file"), "null");
  EXPECT_EQ(member(run, "markers"),
            "{\"first\":\"2013-03-18T00:06:40.000Z\",\"last\":\"2013-03-18T00:06:45.000Z\",\"gaps\":1,\"missing_s\":2,"
            "\"longest_gap_s\":2,\"steps_back\":0}");
  EXPECT_EQ(member(run, "samples_per_second"),
            "{\"rate\":4,\"seconds\":2,\"min\":4,\"median\":4,\"max\":4,\"short\":0,\"long\":0}");
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 3);
  EXPECT_EQ(result.err, "decode: cannot open missing.zlt: No such file or directory\n");
  EXPECT_EQ(result.status, 1);
}

TEST(Info, BadOptionsAreRefused) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", hexBytes(kHeader));
  for (const auto& args : std::vector<std::vector<std::string>>{{"--info=xml", name},
                                                                 {"--info", "--from=2026-12-01", name},
                                                                 {"--info", "--csv=data", name},
                                                                 {"--info", "-t", name},
                                                                 {"--info"}}) {
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.status, 2) << testing::PrintToString(args);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("(see man decode)\n"), std::string::npos) << result.err;
  }
}

}  // namespace
