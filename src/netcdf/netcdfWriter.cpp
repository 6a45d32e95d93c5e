// Writes a run into a netCDF-4 file: a format of the shared run writer,
// which reads the run once into every table; each group's rows come a chunk
// at a time and are written compressed, in the layout of groupLayout; what
// can only be known at the end (the ranges of the values, the damage found)
// is written as attributes then.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <variant>

#include "core/calendar.h"
#include "core/readInput.h"
#include "netcdf/analysisLayout.h"
#include "netcdf/groupLayout.h"
#include "netcdf/netcdfApi.h"
#include "output/runFile.h"
#include "zolt/netcdf.h"
#include "zolt/version.h"

namespace zolt {

namespace {

// libnetcdf's failure, with errno where the system's refusal is what failed.
struct NetcdfFailure {
  int status;
  int system;
  std::string what;
};

// The library's functions, which writeNetcdf has loaded before anything
// else.
const NetcdfApi& nc() { return *netcdfApi(); }

// A failed write deep in HDF5 comes back as a bare "HDF error"; errno
// still tells why, so it is cleared after every call that went well.
void check(int status, const std::string& what) {
  if (status != NC_NOERR) throw NetcdfFailure{status, errno, what};
  errno = 0;
}

Error errorOf(const NetcdfFailure& failure) {
  if (failure.system != 0) return {Errc::kWriteFailed, failure.system};
  return {Errc::kWriteFailed, failure.status > 0 ? failure.status : EIO,
          std::string(nc().strerror(failure.status)) + " (" + failure.what + ")"};
}

// Runs `write`, turning libnetcdf's failures and a lack of memory into an
// error.
template <typename Write>
Error guarded(Write write) {
  try {
    write();
  } catch (const NetcdfFailure& failure) {
    return errorOf(failure);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  return {};
}

// Tens of thousands of records a chunk: libnetcdf's default for an
// unlimited dimension is a few kilobytes, which reads slowly and packs
// badly. The inertial samples come a hundred a second.
size_t chunkRows(TableKind kind) { return kind == TableKind::kData ? 131072 : 32768; }

constexpr int kDeflateLevel = 1;

nc_type ncType(NetcdfType type) {
  switch (type) {
    case NetcdfType::kShort: return NC_SHORT;
    case NetcdfType::kInt: return NC_INT;
    case NetcdfType::kInt64: return NC_INT64;
    case NetcdfType::kDouble: return NC_DOUBLE;
    case NetcdfType::kString: break;
  }
  return NC_STRING;
}

// Bytes a value takes in a chunk; a name's text lies in a heap of its own.
size_t storedSize(NetcdfType type) {
  switch (type) {
    case NetcdfType::kShort: return 2;
    case NetcdfType::kInt: return 4;
    case NetcdfType::kString: return 16;
    default: return 8;
  }
}

// A name's text in the heap, escaped, with the heap's own bookkeeping.
constexpr uint64_t kMostNameBytes = 4 * 15 + 32;

void putText(int id, int variable, const char* name, std::string_view text) {
  check(nc().putAttText(id, variable, name, text.size(), text.data()), name);
}

void putVariableAttribute(int group, int id, const VariableAttribute& attribute) {
  const char* name = attribute.name.c_str();
  if (const auto* text = std::get_if<std::string>(&attribute.value)) {
    putText(group, id, name, *text);
  } else if (const auto* one = std::get_if<double>(&attribute.value)) {
    check(nc().putAttDouble(group, id, name, NC_DOUBLE, 1, one), name);
  } else {
    check(nc().putAttDouble(group, id, name, NC_DOUBLE, 2, std::get<std::array<double, 2>>(attribute.value).data()),
          name);
  }
}

// One table's group, written a chunk at a time.
class GroupWriter {
 public:
  GroupWriter(int root, TableKind kind, const RunStart& start, int64_t epochMicros)
      : layout_(kind, epochMicros, start.untimed(kind)) {
    const std::string name(tableName(kind));
    check(nc().defGrp(root, name.c_str(), &group_), "group " + name);
    check(nc().defDim(group_, "obs", NC_UNLIMITED, &dimension_), "dimension of " + name);
    for (size_t i = 0; i < layout_.variables().size(); ++i) ids_.push_back(define(i));
  }

  const GroupLayout& layout() const { return layout_; }

  // The most the file can grow by when `ready` rows are written: those
  // chunks, and the one of each variable that HDF5 holds in its cache and
  // writes when the next comes. A chunk's values are taken as if they did
  // not pack at all, its fill as if it packed only a little.
  uint64_t mostItCanWrite(size_t ready) const {
    const size_t chunk = chunkRows(layout_.kind());
    const size_t cached = std::min(written_, chunk);
    const uint64_t rows = ready + cached;
    const uint64_t chunks = (ready + chunk - 1) / chunk + (cached > 0 ? 1 : 0);
    uint64_t bytes = 0;
    for (const NetcdfVariable& variable : layout_.variables()) {
      const uint64_t size = storedSize(variable.type);
      bytes += variable.type == NetcdfType::kString ? chunks * chunk * size + rows * kMostNameBytes
                                                    : rows * size * 101 / 100 + chunks * (chunk * size / 64 + 4096);
    }
    return bytes;
  }

  void write(const Table& table, size_t rows) {
    if (rows == 0) return;
    for (size_t i = 0; i < ids_.size(); ++i) writeVariable(i, table, rows);
    written_ += rows;
  }

  // What is known only once every row is written.
  void finish() {
    for (size_t i = 0; i < ids_.size(); ++i) {
      for (const VariableAttribute& attribute : layout_.closingAttributes(i)) putVariableAttribute(group_, ids_[i], attribute);
    }
  }

 private:
  int define(size_t i) {
    const NetcdfVariable& variable = layout_.variables()[i];
    const std::string name(variable.name);
    int id = 0;
    check(nc().defVar(group_, name.c_str(), ncType(variable.type), 1, &dimension_, &id), "variable " + name);
    const size_t chunk = chunkRows(layout_.kind());
    check(nc().defVarChunking(group_, id, NC_CHUNKED, &chunk), "chunking of " + name);
    if (variable.type != NetcdfType::kString) {
      check(nc().defVarDeflate(group_, id, 1, 1, kDeflateLevel), "compression of " + name);
    }
    const auto fill = layout_.fill(i);
    if (!fill) {
      check(nc().defVarFill(group_, id, NC_NOFILL, nullptr), "no fill value for " + name);
    } else if (const auto* time = std::get_if<int64_t>(&*fill)) {
      const long long value = *time;
      check(nc().defVarFill(group_, id, NC_FILL, &value), "fill value of " + name);
    } else {
      const std::string text(std::get<std::string_view>(*fill));
      const char* const value = text.c_str();
      check(nc().defVarFill(group_, id, NC_FILL, &value), "fill value of " + name);
    }
    // Room in the cache for the chunk being written, and no more.
    check(nc().setVarChunkCache(group_, id, chunk * storedSize(variable.type) + 4096, 7, 0.75f),
          "chunk cache of " + name);
    for (const VariableAttribute& attribute : layout_.attributes(i)) putVariableAttribute(group_, id, attribute);
    return id;
  }

  void writeVariable(size_t i, const Table& table, size_t rows) {
    const StoredValues stored = layout_.encode(i, table, rows);
    const size_t start = written_;
    const std::string what = "values of " + std::string(layout_.variables()[i].name);
    const int id = ids_[i];
    static_assert(sizeof(long long) == sizeof(int64_t));
    std::visit(
        [&](const auto& values) {
          using Values = std::decay_t<decltype(values)>;
          if constexpr (std::is_same_v<Values, std::span<const int16_t>>) {
            check(nc().putVaraShort(group_, id, &start, &rows, values.data()), what);
          } else if constexpr (std::is_same_v<Values, std::span<const int32_t>> ||
                               std::is_same_v<Values, std::vector<int32_t>>) {
            check(nc().putVaraInt(group_, id, &start, &rows, values.data()), what);
          } else if constexpr (std::is_same_v<Values, std::span<const int64_t>> ||
                               std::is_same_v<Values, std::vector<int64_t>>) {
            check(nc().putVaraLonglong(group_, id, &start, &rows, reinterpret_cast<const long long*>(values.data())),
                  what);
          } else if constexpr (std::is_same_v<Values, std::span<const double>>) {
            check(nc().putVaraDouble(group_, id, &start, &rows, values.data()), what);
          } else {
            std::vector<const char*> names;
            names.reserve(values.size());
            for (const std::string& name : values) names.push_back(name.c_str());
            check(nc().putVaraString(group_, id, &start, &rows, names.data()), what);
          }
        },
        stored.values);
  }

  GroupLayout layout_;
  int group_ = 0;
  int dimension_ = 0;
  std::vector<int> ids_;
  size_t written_ = 0;
};

// A group whose rows are all known at once: the analysis's.
void writeWholeGroup(int root, const WholeGroup& whole) {
  int group = 0;
  check(nc().defGrp(root, whole.name.c_str(), &group), "group " + whole.name);
  const size_t rows = std::visit([](const auto& values) { return values.size(); }, whole.variables.front().values);
  int dimension = 0;
  check(nc().defDim(group, whole.dimension.c_str(), rows, &dimension), "dimension of " + whole.name);
  for (const WholeVariable& variable : whole.variables) {
    const bool whole64 = std::holds_alternative<std::vector<int64_t>>(variable.values);
    int id = 0;
    check(nc().defVar(group, variable.name.c_str(), whole64 ? NC_INT64 : NC_DOUBLE, 1, &dimension, &id),
          "variable " + variable.name);
    if (rows > 0) check(nc().defVarDeflate(group, id, 1, 1, kDeflateLevel), "compression of " + variable.name);
    for (const VariableAttribute& attribute : variable.attributes) putVariableAttribute(group, id, attribute);
    if (rows == 0) continue;
    const size_t start = 0;
    if (whole64) {
      const auto& values = std::get<std::vector<int64_t>>(variable.values);
      check(nc().putVaraLonglong(group, id, &start, &rows, reinterpret_cast<const long long*>(values.data())),
            "values of " + variable.name);
    } else {
      check(nc().putVaraDouble(group, id, &start, &rows, std::get<std::vector<double>>(variable.values).data()),
            "values of " + variable.name);
    }
  }
  for (const VariableAttribute& attribute : whole.attributes) putVariableAttribute(group, NC_GLOBAL, attribute);
}

uint64_t sizeOf(const WholeGroup& whole) {
  uint64_t bytes = 4096;
  for (const WholeVariable& variable : whole.variables) {
    bytes += 4096 + 8 * std::visit([](const auto& values) { return values.size(); }, variable.values);
  }
  return bytes;
}

// The groups' metadata, the indexes of their chunks, the attributes.
constexpr uint64_t kRoomToSpare = uint64_t{1} << 20;

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  return isoTime(int64_t{now} * 1000000, 3).substr(0, 19) + "Z";
}

void putAttribute(int id, const NetcdfAttribute& attribute) {
  const char* name = attribute.name.c_str();
  if (const auto* text = std::get_if<std::string>(&attribute.value)) {
    putText(id, NC_GLOBAL, name, *text);
  } else if (const auto* whole = std::get_if<int64_t>(&attribute.value)) {
    const long long value = *whole;
    check(nc().putAttLonglong(id, NC_GLOBAL, name, NC_INT64, 1, &value), name);
  } else {
    check(nc().putAttDouble(id, NC_GLOBAL, name, NC_DOUBLE, 1, &std::get<double>(attribute.value)), name);
  }
}

// The attributes of the whole file; the caller's own come last and win.
std::vector<NetcdfAttribute> globalAttributes(const RunEnd& run, const NetcdfOptions& options, bool analysed) {
  const std::string now = utcNow();
  const std::optional<FileHeader>& header = run.firstHeader;
  std::vector<NetcdfAttribute> attributes = {
      {"Conventions", std::string("CF-1.8")},
      {"title", std::string("ZOLT data logger records")},
      {"history", now + " " + options.history},
      {"date_created", now},
      {"decoder_version", std::string("decode " ZOLT_VERSION)},
      // CF asks for a source in every file.
      {"source", header ? "ZOLT data logger, ID " + std::to_string(header->id) + ", firmware version " +
                              std::to_string(header->ver) + ", " + std::to_string(header->rate) +
                              " inertial samples a second"
                        : std::string("ZOLT data logger, no file header record found")},
  };
  std::string names;
  std::string damage;
  for (size_t i = 0; i < run.outcomes.size(); ++i) {
    if (run.outcomes[i].error.failed()) continue;
    const std::string& name = run.inputs[i].name();
    names += (names.empty() ? "" : "\n") + name;
    for (const std::string& note : damageNotes(run.outcomes[i].damage)) {
      damage.append(damage.empty() ? "" : "\n").append(name).append(": ").append(note);
    }
  }
  attributes.push_back({"input_files", names});
  // A reader that opens the file without naming a group learns them here.
  attributes.push_back({"tables", std::string(kTableNames) + (analysed ? ", depth, dives" : "")});
  attributes.push_back({"comment", damage.empty() ? std::string("no damage found in the input files") : damage});
  for (const NetcdfAttribute& own : options.attributes) {
    const auto same = std::find_if(attributes.begin(), attributes.end(),
                                   [&](const NetcdfAttribute& each) { return each.name == own.name; });
    if (same != attributes.end()) attributes.erase(same);
    attributes.push_back(own);
  }
  return attributes;
}

uint64_t sizeOf(const std::vector<NetcdfAttribute>& attributes) {
  uint64_t bytes = 0;
  for (const NetcdfAttribute& each : attributes) {
    const auto* text = std::get_if<std::string>(&each.value);
    bytes += each.name.size() + 64 + (text != nullptr ? text->size() : 0);
  }
  return bytes;
}

class NetcdfFormat : public RunFileFormat {
 public:
  explicit NetcdfFormat(const NetcdfOptions& options) : options_(options) {}

  Error begin(ReplacedFile& file, const RunStart& start) override {
    file_ = &file;
    return guarded([&] {
      // HDF5 opens the file itself, by name; the temporary keeps its mode.
      check(nc().create(file.temporaryPath().c_str(), NC_NETCDF4 | NC_CLOBBER, &id_), "creating the file");
      open_ = true;
      const int64_t epoch = start.firstMarker ? int64_t{*start.firstMarker} * kMicrosecondsPerSecond : 0;
      epoch_ = epoch;
      for (size_t kind = 0; kind < kTableKinds; ++kind) {
        groups_.push_back(std::make_unique<GroupWriter>(id_, static_cast<TableKind>(kind), start, epoch));
      }
      check(nc().enddef(id_), "the definitions");
    });
  }

  Error write(std::span<const ReadyRows> ready, bool atEnd) override {
    return guarded([&] {
      uint64_t bytes = kRoomToSpare + (atEnd ? sizeOf(options_.attributes) : 0);
      for (size_t i = 0; i < groups_.size(); ++i) bytes += groups_[i]->mostItCanWrite(ready[i].rows);
      roomFor(bytes);
      for (size_t i = 0; i < groups_.size(); ++i) groups_[i]->write(*ready[i].table, ready[i].rows);
    });
  }

  Error end(const RunEnd& run) override {
    return guarded([&] {
      for (auto& group : groups_) group->finish();
      const bool analysed = analysable(run.inputs);
      if (analysed) {
        AnalysisGroupsOptions analysis{options_.window, options_.salvage, options_.keepGoing,
                                       options_.analysis ? *options_.analysis : AnalysisSettings{}, epoch_};
        for (const WholeGroup& whole : analysisGroups(run.inputs, analysis)) {
          roomFor(sizeOf(whole));
          writeWholeGroup(id_, whole);
        }
      }
      for (const NetcdfAttribute& attribute : globalAttributes(run, options_, analysed)) putAttribute(id_, attribute);
      // Everything is written out before the close, which cannot be given
      // up once it has failed.
      check(nc().sync(id_), "writing the file");
      open_ = false;
      check(nc().close(id_), "closing the file");
    });
  }

  void abandon() override {
    if (open_) nc().abort(id_);
    open_ = false;
  }

 private:
  // HDF5 cannot close a file once a write has failed, so the room its next
  // writes could take is reserved first.
  void roomFor(uint64_t bytes) {
    if (const Error reserved = file_->reserve(bytes); reserved.failed()) {
      throw NetcdfFailure{NC_EIO, reserved.system, "reserving room on the disk"};
    }
  }

  const NetcdfOptions& options_;
  ReplacedFile* file_ = nullptr;
  int id_ = 0;
  int64_t epoch_ = 0;
  bool open_ = false;
  std::vector<std::unique_ptr<GroupWriter>> groups_;
};

// Whether the caller's attributes can be written, said before anything is.
Error acceptable(const std::vector<NetcdfAttribute>& attributes) {
  if (attributes.size() > kMostAttributes) {
    return {Errc::kInvalidArgument, EINVAL, "more than " + std::to_string(kMostAttributes) + " attributes"};
  }
  for (const NetcdfAttribute& attribute : attributes) {
    if (std::optional<std::string> problem = attributeNameProblem(attribute.name)) {
      return {Errc::kInvalidArgument, EINVAL, std::move(*problem)};
    }
  }
  return {};
}

}  // namespace

NetcdfResult writeNetcdf(const std::string& path, std::span<const Input> inputs, const NetcdfOptions& options) {
  NetcdfResult result;
  if (Error refused = acceptable(options.attributes); refused.failed()) {
    result.error = std::move(refused);
    return result;
  }
  std::string why;
  if (netcdfApi(&why) == nullptr) {
    result.error = {Errc::kWriteFailed, ELIBACC, why};
    return result;
  }
  RunFileOptions run;
  for (size_t kind = 0; kind < kTableKinds; ++kind) {
    const auto table = static_cast<TableKind>(kind);
    run.tables.push_back({table, GroupLayout(table, 0, false).columns(), chunkRows(table)});
  }
  run.window = options.window;
  run.keepGoing = options.keepGoing;
  run.salvage = options.salvage;
  run.allOrNothing = options.allOrNothing;
  NetcdfFormat format(options);
  RunFileResult written = writeRunFile(path, inputs, run, format);
  result.error = std::move(written.error);
  result.inputs = std::move(written.inputs);
  result.written = written.written;
  return result;
}

}  // namespace zolt
