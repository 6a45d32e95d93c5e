// The command line: usage text, file order, exit statuses, and output failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "runDecode.h"

namespace {

const char* const kUsage =
    "\nDECODE [-d] [-t] [-s] [-p] <filename>\tDecode a ZOLT binary file\n"
    "\t[-d] Print full data records (else prints summaries each second)\n"
    "\t[-t] Print only totals, not individual records (except header)\n"
    "\t[-s] Print only System Records\n"
    "\t[-p] Print only Pressure Records\n"
    "\nDECODE [-h]\tPrint this message\n";

const Bytes kHeader = hexBytes("00 00 0002 012C 0064 51465A90 007B 0036EE80");
const Bytes kData = hexBytes("02 FF8000 010000 000001 4000 0000 E000 2000");
const char* const kHeaderLine = "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n";

TEST(CommandLine, NoFileNamedPrintsMessageAndUsage) {
  Scratch scratch;
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"-d", "-t"}}) {
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.out, std::string("No input file specified") + kUsage);
    EXPECT_EQ(result.status, 2);
  }
}

TEST(CommandLine, HelpPrintsUsageAndDecodesNothing) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", kHeader);
  for (const auto& args : {std::vector<std::string>{"-h"}, std::vector<std::string>{"-d", "-h", name}}) {
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.out, kUsage);
    EXPECT_EQ(result.status, 0);
  }
}

TEST(CommandLine, LongOptionsForHelpAndVersion) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", kHeader);
  // --help is the usage text of -h, a line for each view, and then one line
  // for each option it does not name.
  const RunResult help = scratch.run({"--help", name});
  ASSERT_EQ(help.out.substr(0, std::string(kUsage).size()), kUsage);
  const std::string views =
      "\ndecode [-d] [-t] [-s] [-p] FILE...\n"
      "decode --csv=TABLE [--salvage] [--from=TIME] [--to=TIME] [--every=INTERVAL] [--agg=mean,min,max] [--fill] "
      "[--latitude=DEG] [--water=fresh|sea] [--surface=BAR] "
      "[--dive-depth=M] [--surface-depth=M] [--min-dive=SECONDS] [--bottom-fraction=F] [--activity-window=SECONDS] "
      "FILE...\n"
      "decode --info[=json] [--salvage] [--latitude=DEG] [--water=fresh|sea] [--surface=BAR] [--dive-depth=M] "
      "[--surface-depth=M] [--min-dive=SECONDS] [--bottom-fraction=F] [--activity-window=SECONDS] FILE...\n"
      "decode --plot=OUT.svg [--salvage] [--from=TIME] [--to=TIME] FILE...\n"
      "decode --netcdf=OUT.nc [--salvage] [--from=TIME] [--to=TIME] [--meta=ATTRS.json] [--latitude=DEG] "
      "[--water=fresh|sea] [--surface=BAR] [--dive-depth=M] [--surface-depth=M] [--min-dive=SECONDS] "
      "[--bottom-fraction=F] [--activity-window=SECONDS] FILE...\n"
      "decode --html=OUT.html [--salvage] [--from=TIME] [--to=TIME] [--html-budget=MB] FILE...\n\n";
  ASSERT_EQ(help.out.substr(std::string(kUsage).size(), views.size()), views);
  const std::string more = std::string("\n").append(help.out.substr(std::string(kUsage).size() + views.size()));
  for (const char* option : {"\t[--csv=TABLE] ", "\t[--from=TIME] ", "\t[--to=TIME] ", "\t[--info[=json]] ",
                             "\t[--plot=OUT.svg] ", "\t[--netcdf=OUT.nc] ", "\t[--meta=ATTRS.json] ", "\t[--html=OUT.html] ",
                             "\t[--html-budget=MB] ", "\t[--salvage] ", "\t[--version] ", "\t[--every=INTERVAL] ",
                             "\t[--agg=mean,min,max] ", "\t[--fill] ",
                             "\t[--latitude=DEG] Degrees north of the deployment, for gravity and the water's weight "
                             "(45 when not given)\n",
                             "\t[--water=fresh|sea] ", "\t[--surface=BAR] ", "\t[--dive-depth=M] ",
                             "\t[--surface-depth=M] ", "\t[--min-dive=SECONDS] ", "\t[--bottom-fraction=F] ",
                             "\t[--activity-window=SECONDS] The window of the static acceleration, seconds (2 when "
                             "not given)\n"}) {
    EXPECT_NE(more.find(std::string("\n") + option), std::string::npos) << option;
  }
  EXPECT_EQ(std::count(more.begin(), more.end(), '\n'), 23);
  EXPECT_EQ(help.status, 0);
  const RunResult version = scratch.run({"--version", name});
  EXPECT_EQ(version.out, "decode " PROJECT_VERSION "\n");
  EXPECT_EQ(version.status, 0);
}

TEST(CommandLine, DashReadsStandardInput) {
  Scratch scratch;
  const Bytes file = concat({kHeader, kData});
  const RunResult piped = scratch.run({"-", scratch.file("-", kData)}, {.stdinBytes = file, .stdinPieceMax = 5});
  EXPECT_EQ(piped.out, fileReport("-", std::string(kHeaderLine) + "1 Data Records\nFile -: 1 data records in 3600.000 seconds\n") +
                           fileReport("-", ""));
  EXPECT_EQ(piped.status, 0);
  // The second "-" met the end of the input already read; "./-" is the file.
  const RunResult named = scratch.run({"./-"});
  EXPECT_EQ(named.out, fileReport("./-", "1 Data Records\nFile ./-: 1 data records in 0.000 seconds\n"));
}

TEST(CommandLine, DashWithStandardInputClosedCannotBeRead) {
  Scratch scratch;
  const RunResult result = scratch.run({"-"}, {.closeStdin = true});
  EXPECT_EQ(result.out, fileReport("-", "Could not read file -\n"));
  EXPECT_EQ(result.status, 1);
}

TEST(CommandLine, DecodesFilesInOrderAndCarriesDuration) {
  Scratch scratch;
  const std::string first = scratch.file("first.zlt", concat({kHeader, kData}));
  const std::string second = scratch.file("second.zlt", concat({kData, kData}));
  const RunResult result = scratch.run({first, second});
  EXPECT_EQ(result.out,
            fileReport(first, std::string(kHeaderLine) +
                                  "1 Data Records\nFile first.zlt: 1 data records in 3600.000 seconds\n") +
                fileReport(second, "2 Data Records\nFile second.zlt: 2 data records in 3600.000 seconds\n"));
  EXPECT_EQ(result.status, 0);
}

TEST(CommandLine, UnknownSwitchIsIgnored) {
  Scratch scratch;
  const RunResult result = scratch.run({"-x", scratch.file("a.zlt", kHeader)});
  EXPECT_EQ(result.out, fileReport("a.zlt", kHeaderLine));
  EXPECT_NE(result.err, "");  // the option parser's own complaint
  EXPECT_EQ(result.status, 0);
}

TEST(CommandLine, FailedNamesAreReportedAndSetStatusOne) {
  Scratch scratch;
  const std::string good = scratch.file("good.zlt", kHeader);
  ASSERT_EQ(system(("mkdir " + scratch.path() + "/dir").c_str()), 0);
  const RunResult result = scratch.run({good, "missing.zlt", "dir", good});
  EXPECT_EQ(result.out, fileReport(good, kHeaderLine) + "Could not open file missing.zlt\n" +
                            fileReport("dir", "Could not read file dir\n") + fileReport(good, kHeaderLine));
  EXPECT_EQ(result.status, 1);
  // The report's own lines are as they always were; the reasons go to
  // standard error.
  EXPECT_EQ(result.err,
            "decode: cannot open missing.zlt: No such file or directory\n"
            "decode: cannot read dir: it is a folder; name the recordings in it, as dir/*.dat\n");
}

TEST(CommandLine, DatesAreUtcWhateverTheZone) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", kHeader);
  for (const char* zone : {"TZ=Pacific/Kiritimati", "TZ=America/Adak", "TZ=XYZ-13:45"}) {
    const RunResult result = scratch.run({name}, {.env = {zone}});
    EXPECT_EQ(result.out, fileReport(name, kHeaderLine)) << zone;
  }
}

TEST(CommandLine, WriteFailureIsReportedWithStatusOne) {
  Scratch scratch;
  Bytes many;
  for (int i = 0; i < 2000; ++i) many.insert(many.end(), kData.begin(), kData.end());
  const std::string name = scratch.file("a.zlt", many);
  for (const auto& args : {std::vector<std::string>{"-d", name}, std::vector<std::string>{"-h"}}) {
    const RunResult result = scratch.run(args, {.stdoutPath = "/dev/full"});
    EXPECT_EQ(result.err, "decode: write error: No space left on device\n");
    EXPECT_EQ(result.status, 1);
  }
}

// Each view takes what it declares and nothing else, and no two go
// together: every pair, and every view with every kind of option.
TEST(CommandLine, EachViewTakesWhatItDeclaresAndNoOtherView) {
  struct View {
    std::string option;
    bool window;
    bool meta;
    bool switches;
  };
  const std::vector<View> views = {{"--netcdf=out.nc", true, true, false},
                                   {"--info", false, false, false},
                                   {"--csv=data", true, false, false},
                                   {"--plot=out.svg", true, false, false},
                                   {"", false, false, true}};
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", concat({kHeader, hexBytes("01 00 51465A90"), kData}));
  scratch.file("m.json", hexBytes("7B 7D"));  // {}
  auto outcome = [&](std::vector<std::string> args) {
    args.erase(std::remove(args.begin(), args.end(), std::string()), args.end());
    args.push_back(input);
    const RunResult result = scratch.run(args);
    std::remove((scratch.path() + "/out.nc").c_str());
    std::remove((scratch.path() + "/out.svg").c_str());
    return result;
  };
  for (size_t a = 0; a + 1 < views.size(); ++a) {
    for (size_t b = a + 1; b + 1 < views.size(); ++b) {
      const RunResult both = outcome({views[b].option, views[a].option});
      EXPECT_EQ(both.status, 2) << views[a].option << " " << views[b].option;
      EXPECT_NE(both.err.find(views[a].option.substr(0, views[a].option.find('=')) + " cannot be combined with"),
                std::string::npos)
          << both.err;
    }
  }
  for (const View& view : views) {
    SCOPED_TRACE(view.option);
    EXPECT_EQ(outcome({view.option, "--from=2013-03-18"}).status, view.window ? 0 : 2);
    EXPECT_EQ(outcome({view.option, "--meta=m.json"}).status, view.meta ? 0 : 2);
    EXPECT_EQ(outcome({view.option, "-d"}).status, view.switches ? 0 : 2);
    EXPECT_EQ(outcome({view.option, "-x"}).status, view.switches ? 0 : 2);
  }
}

}  // namespace

namespace {

// A recording of three seconds, and the same from inside its first data
// record on, as a recording cut in two leaves its second part.
const Bytes kThreeSeconds = concat({kHeader, hexBytes("01 00 51465A90"), kData, kData, hexBytes("01 00 51465A91"), kData,
                                  hexBytes("01 00 51465A92"), kData});
const Bytes kCutInside = Bytes(kThreeSeconds.begin() + 18 + 6 + 5, kThreeSeconds.end());
const std::string kParser = DECODE_BINARY;  // the option parser names the program as it was called
const std::string kUsageLine = "Usage: decode [OPTION]... FILE... (see decode --help, or man decode)\n";

struct LineCase {
  std::vector<std::string> args;
  int status;
  bool quiet;  // nothing on standard output
  std::string err;
};

}  // namespace

// What a newcomer gets wrong, and what the program then says: an option
// whose value was forgotten never takes the next word (a recording) for
// it, no output replaces a recording, a misspelt option stops the run, and
// a file that is no recording, or a folder, is told for what it is.
TEST(CommandLine, MistakesAreToldAndNothingIsLost) {
  Scratch scratch;
  scratch.file("a.dat", kThreeSeconds);
  scratch.file("b.dat", kThreeSeconds);
  scratch.file("cut.dat", kCutInside);
  scratch.file("notes.csv", Bytes{'t', 'i', 'm', 'e', ',', 'x', '\n', '1', ',', '2', '\n'});
  scratch.file("picture.png", hexBytes("89504E470D0A1A0A 0000000D49484452 0000010000000100 0806000000 5C72A866 "
                                       "00000004 67414D41 0000B18F 0BFC6105"));
  ASSERT_EQ(system(("mkdir " + scratch.path() + "/folder").c_str()), 0);
  const std::string table = "header, marker, data, pressure, index, system, depth, dives or activity";
  const auto kEveryRefused = [](const std::string& value) {
    return "decode: --every=" + value +
           ": not a whole, positive number of seconds or milliseconds, such as 1s or 250ms (see man decode)\n";
  };
  const std::vector<LineCase> cases = {
      {{"--plot", "a.dat", "b.dat"}, 2, true, "decode: --plot needs a file name: --plot=OUT.svg\n"},
      {{"--html", "a.dat"}, 2, true, "decode: --html needs a file name: --html=OUT.html\n"},
      {{"--netcdf", "a.dat"}, 2, true, "decode: --netcdf needs a file name: --netcdf=OUT.nc\n"},
      {{"--csv", "a.dat"}, 2, true, "decode: --csv needs a table name: --csv=TABLE, where TABLE is " + table + "\n"},
      {{"--plot=b.dat", "a.dat"}, 2, true,
       "decode: b.dat holds records of this logger, and a recording is never replaced: --plot needs another name "
       "(see man decode)\n"},
      {{"--html=cut.dat", "a.dat"}, 2, true,
       "decode: cut.dat holds records of this logger, and a recording is never replaced: --html needs another name "
       "(see man decode)\n"},
      {{"--netcdf=b.dat", "a.dat"}, 2, true,
       "decode: b.dat holds records of this logger, and a recording is never replaced: --netcdf needs another name "
       "(see man decode)\n"},
      {{"--cvs=data", "a.dat"}, 2, true, kParser + ": unrecognized option '--cvs=data'\ndecode: did you mean --csv?\n" + kUsageLine},
      {{"--salvge", "--csv=data", "a.dat"}, 2, true,
       kParser + ": unrecognized option '--salvge'\ndecode: did you mean --salvage?\n" + kUsageLine},
      {{"--frobnicate", "a.dat"}, 2, true, kParser + ": unrecognized option '--frobnicate'\n" + kUsageLine},
      {{"--salvage=yes", "--info", "a.dat"}, 2, true,
       kParser + ": option '--salvage' doesn't allow an argument\n" + kUsageLine},
      {{"-x", "a.dat"}, 0, false, kParser + ": invalid option -- 'x'\n"},
      {{"--csv=data", "notes.csv", "a.dat"}, 1, false, "decode: notes.csv: not a record file of this logger\n"},
      {{"--info", "notes.csv", "picture.png"}, 1, true,
       "decode: notes.csv: not a record file of this logger\ndecode: picture.png: not a record file of this logger\n"},
      {{"--plot=-", "picture.png"}, 1, true, "decode: picture.png: not a record file of this logger\n"},
      {{"--info", "folder"}, 1, true, "decode: cannot read folder: it is a folder; name the recordings in it, as folder/*.dat\n"},
      {{"--csv=data", "folder/"}, 1, false,
       "decode: cannot read folder/: it is a folder; name the recordings in it, as folder/*.dat\n"},
      {{"--html-budget=0x10", "--html=-", "a.dat"}, 2, true,
       "decode: --html-budget=0x10: not a number of megabytes from 1 to 100000 (see man decode)\n"},
      {{"--html-budget=2e1", "--html=-", "a.dat"}, 2, true,
       "decode: --html-budget=2e1: not a number of megabytes from 1 to 100000 (see man decode)\n"},
      {{"--html-budget=2.5", "--html=-", "a.dat"}, 0, false, ""},
      {{"--csv=data", "--every=0", "a.dat"}, 2, true, kEveryRefused("0")},
      {{"--csv=data", "--every=1.5ms", "a.dat"}, 2, true, kEveryRefused("1.5ms")},
      {{"--csv=data", "--every=abc", "a.dat"}, 2, true, kEveryRefused("abc")},
      {{"--csv=data", "--every=-1s", "a.dat"}, 2, true, kEveryRefused("-1s")},
      {{"--csv=data", "--every=1s", "--agg=mean,median", "a.dat"}, 2, true,
       "decode: --agg=mean,median: not a list of mean, min and max, each at most once, such as mean,min,max "
       "(see man decode)\n"},
      {{"--csv=data", "--fill", "a.dat"}, 2, true, "decode: --fill needs --every (see man decode)\n"},
      {{"--csv=dives", "--every=1s", "a.dat"}, 2, true,
       "decode: --every does not apply to --csv=dives: its rows are no series in time (see man decode)\n"},
      {{"--plot=-", "--every=1s", "a.dat"}, 2, true, "decode: --every needs --csv (see man decode)\n"},
      {{"--csv=pressure", "--every=250ms", "--agg=max,min", "--fill", "a.dat"}, 0, false, ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const RunResult result = scratch.run(c.args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out.empty(), c.quiet) << result.out.substr(0, 200);
    EXPECT_EQ(result.err, c.err);
  }
  // Every recording is as it was.
  for (const char* name : {"a.dat", "b.dat"}) {
    EXPECT_EQ(scratch.run({"--csv=data", name}).out, scratch.run({"--csv=data", "a.dat"}).out);
    std::ifstream in(scratch.path() + "/" + name, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), kThreeSeconds) << name;
  }
}

// The analysis's parameters are held to what the analysis can work with
// before anything is read, each told in one line with the value as given.
TEST(CommandLine, AnalysisParametersAreCheckedFirst) {
  Scratch scratch;
  scratch.file("a.dat", kThreeSeconds);
  const auto refused = [](const std::string& option, const std::string& why) {
    return "decode: " + option + ": " + why + " (see man decode)\n";
  };
  const std::vector<LineCase> cases = {
      {{"--csv=depth", "--latitude=91", "a.dat"}, 2, true,
       refused("--latitude=91", "the latitude must be from -90 to 90 degrees, not 91")},
      {{"--csv=dives", "--latitude=north", "a.dat"}, 2, true, refused("--latitude=north", "not a number")},
      {{"--csv=dives", "--latitude=nan", "a.dat"}, 2, true, refused("--latitude=nan", "not a number")},
      {{"--csv=dives", "--dive-depth=-1", "a.dat"}, 2, true,
       refused("--dive-depth=-1", "the dive depth must be a positive number of metres, not -1")},
      {{"--csv=dives", "--dive-depth", "0.5", "a.dat"}, 2, true,
       refused("--dive-depth=0.5", "the surface depth must be at least 0 m and less than the dive depth, not 1")},
      {{"--csv=dives", "--surface-depth=3", "a.dat"}, 2, true,
       refused("--surface-depth=3", "the surface depth must be at least 0 m and less than the dive depth, not 3")},
      {{"--csv=dives", "--min-dive=", "a.dat"}, 2, true, refused("--min-dive=", "not a number")},
      {{"--csv=dives", "--bottom-fraction=0", "a.dat"}, 2, true,
       refused("--bottom-fraction=0", "the fraction of the greatest depth at the bottom must be more than 0 and at "
                                      "most 1, not 0")},
      {{"--csv=activity", "--activity-window=0", "a.dat"}, 2, true,
       refused("--activity-window=0",
               "the window of the static acceleration must be more than 0 and at most a day of seconds, not 0")},
      {{"--csv=depth", "--surface=0x1", "a.dat"}, 2, true, refused("--surface=0x1", "not a number")},
      {{"--csv=depth", "--water=salt", "a.dat"}, 2, true, refused("--water=salt", "the water is fresh or sea")},
      {{"--csv=depth", "--latitude=1", "--latitude=2", "a.dat"}, 2, true,
       "decode: --latitude is given more than once (see man decode)\n"},
      {{"--csv=data", "--water=fresh", "a.dat"}, 2, true,
       "decode: --water applies to the tables made from the analysis, not to --csv=data (see man decode)\n"},
      {{"--plot=-", "--min-dive=3", "a.dat"}, 2, true,
       "decode: --min-dive needs --csv=depth, --csv=dives, --csv=activity, --netcdf or --info (see man decode)\n"},
      {{"--latitude=-33.85", "--water=fresh", "--surface=1.013", "--dive-depth=3", "--surface-depth=0.5",
        "--min-dive=10", "--bottom-fraction=0.7", "--activity-window=1.5", "--csv=depth", "a.dat"},
       0, false, ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const RunResult result = scratch.run(c.args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out.empty(), c.quiet) << result.out.substr(0, 200);
    EXPECT_EQ(result.err, c.err);
  }
}
