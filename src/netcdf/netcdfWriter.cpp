// Writes a run into a netCDF-4 file in one pass: every table's rows are
// gathered in columns, as the library's tables make them, and written a
// chunk at a time, compressed; what can only be known at the end (the
// ranges of the values, the damage found) is written as attributes then.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>

#include "core/mappedFile.h"
#include "core/readInput.h"
#include "core/recordFormat.h"
#include "netcdf/netcdfApi.h"
#include "output/replacedFile.h"
#include "views/columnRows.h"
#include "views/tableRows.h"
#include "zolt/netcdf.h"

namespace zolt {

namespace {

struct NetcdfFailure {
  int status;
  int system;  // errno, when the system's refusal is what failed
  std::string what;
};

// The library's functions, which writeNetcdf and netcdfInMemory have
// loaded before anything else.
const NetcdfApi& nc() { return *netcdfApi(); }

// Whether libnetcdf could be loaded; says why not in `result`.
bool loaded(NetcdfResult& result) {
  if (netcdfApi(&result.message) != nullptr) return true;
  result.error = {Errc::kWriteFailed, ELIBACC};
  return false;
}

// A failed write deep in HDF5 comes back as a bare "HDF error"; errno
// still tells why, so it is cleared after every call that went well.
void check(int status, const std::string& what) {
  if (status != NC_NOERR) throw NetcdfFailure{status, errno, what};
  errno = 0;
}

// Tens of thousands of records a chunk: libnetcdf's default for an
// unlimited dimension is a few kilobytes, which reads slowly and packs
// badly. The inertial samples come a hundred a second.
size_t chunkRows(TableKind kind) { return kind == TableKind::kData ? 131072 : 32768; }

// The most data records a piece of input holds: a mapped window.
constexpr size_t kPieceRows = MappedFile::kWindow / kDataRecordSize + 1;

constexpr int kDeflateLevel = 1;
constexpr long long kTimeFill = NC_FILL_INT64;
const char* const kNoNameFill = "\x7F";

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

// What a look at the start of each input tells before anything is
// written: the run's first second marker, which the times count from, and
// whether a data or pressure record comes before a file's first marker, so
// that those tables have rows without a time.
struct RunStart {
  std::optional<int32_t> firstMarker;
  bool untimedRows = false;
};

class StartView {
 public:
  explicit StartView(RunStart& start) : start_(start) {}
  void fileHeader(const uint8_t* /*body*/) {}
  void secondMarker(const uint8_t* body) {
    if (!start_.firstMarker) start_.firstMarker = readMarkerTime(body);
    seen_ = true;
  }
  void dataRecords(const uint8_t* /*records*/, size_t /*count*/) { untimed(); }
  void pressure(const uint8_t* /*body*/) { untimed(); }
  void index(const uint8_t* /*body*/) {}
  void system(const uint8_t* /*body*/) {}
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}
  // Nothing after a file's first marker changes what this looks for.
  Error failure() const { return seen_ ? Error{Errc::kStopped, 0} : Error{}; }

 private:
  void untimed() {
    if (!seen_) start_.untimedRows = true;
  }
  RunStart& start_;
  bool seen_ = false;
};

RunStart lookAtStarts(std::span<const NamedInput> inputs, const TimeWindow& window) {
  RunStart start;
  for (const NamedInput& each : inputs) {
    // A descriptor may not be read twice: its tables may have rows without
    // a time.
    if (each.input.kind() == Input::Kind::kDescriptor) {
      start.untimedRows = true;
      continue;
    }
    StartView view(start);
    readInput(each.input, view);
  }
  // A window keeps no row without a time.
  if (window.given) start.untimedRows = false;
  return start;
}

struct Range {
  double least = std::numeric_limits<double>::infinity();
  double greatest = -std::numeric_limits<double>::infinity();
  void add(double value) {
    least = std::min(least, value);
    greatest = std::max(greatest, value);
  }
  bool any() const { return least <= greatest; }
};

// One table's group: its rows gathered, and written a chunk at a time.
class GroupWriter {
 public:
  GroupWriter(int root, TableKind kind, bool fill, int64_t epochMicros)
      : kind_(kind), variables_(netcdfVariables(kind)), epoch_(epochMicros), ranges_(variables_.size()) {
    const std::string name(tableName(kind));
    check(nc().defGrp(root, name.c_str(), &group_), "group " + name);
    check(nc().defDim(group_, "obs", NC_UNLIMITED, &dimension_), "dimension of " + name);
    ColumnSet columns = 0;
    for (const NetcdfVariable& variable : variables_) {
      columns |= ColumnSet{1} << *columnNumber(kind, variable.column);
      ids_.push_back(define(variable, fill && variable.name == "time"));
    }
    table_ = emptyTable(kind, columns);
    // A chunk, and what one piece of input can add before it is written.
    for (Column& column : table_.columns) ColumnWriter::reserve(column, chunkRows(kind) + kPieceRows);
    std::transform(variables_.begin(), variables_.end(), std::back_inserter(sources_),
                   [&](const NetcdfVariable& variable) { return table_.column(variable.column); });
  }

  Table& rows() { return table_; }

  // The most the file can grow by when the rows ready are written (every
  // row at the end): those chunks, and the one of each variable that HDF5
  // holds in its cache and writes when the next comes. A chunk's values
  // are taken as if they did not pack at all, its fill as if it packed
  // only a little.
  uint64_t mostItCanWrite(bool atEnd) const {
    const size_t chunk = chunkRows(kind_);
    const size_t ready = atEnd ? table_.rows : table_.rows / chunk * chunk;
    const size_t cached = std::min(written_, chunk);
    const uint64_t rows = ready + cached;
    const uint64_t chunks = (ready + chunk - 1) / chunk + (cached > 0 ? 1 : 0);
    uint64_t bytes = 0;
    for (const NetcdfVariable& variable : variables_) {
      const uint64_t size = storedSize(variable.type);
      bytes += variable.type == NetcdfType::kString ? chunks * chunk * size + rows * kMostNameBytes
                                                    : rows * size * 101 / 100 + chunks * (chunk * size / 64 + 4096);
    }
    return bytes;
  }

  // Writes whole chunks while there are some, so that each is written
  // once, and the rest at the end.
  void writeRows(bool atEnd) {
    const size_t chunk = chunkRows(kind_);
    const size_t ready = atEnd ? table_.rows : table_.rows / chunk * chunk;
    if (ready == 0) return;
    for (size_t i = 0; i < variables_.size(); ++i) writeColumn(i, ready);
    written_ += ready;
    dropFirstRows(table_, ready);
  }

  // What is known only once every row is written.
  void finish() {
    for (size_t i = 0; i < variables_.size(); ++i) {
      if (!ranges_[i].any()) continue;
      const double range[2] = {ranges_[i].least, ranges_[i].greatest};
      check(nc().putAttDouble(group_, ids_[i], "actual_range", NC_DOUBLE, 2, range), "actual_range");
    }
  }

 private:
  int define(const NetcdfVariable& variable, bool fill) {
    const std::string name(variable.name);
    int id = 0;
    check(nc().defVar(group_, name.c_str(), ncType(variable.type), 1, &dimension_, &id), "variable " + name);
    const size_t chunk = chunkRows(kind_);
    check(nc().defVarChunking(group_, id, NC_CHUNKED, &chunk), "chunking of " + name);
    if (variable.type != NetcdfType::kString) {
      check(nc().defVarDeflate(group_, id, 1, 1, kDeflateLevel), "compression of " + name);
    }
    // Every row is written, so no other variable needs a fill value: with
    // one, readers would turn its integers into floats.
    if (fill) {
      check(nc().defVarFill(group_, id, NC_FILL, &kTimeFill), "fill value of " + name);
    } else if (variable.type != NetcdfType::kString) {
      check(nc().defVarFill(group_, id, NC_NOFILL, nullptr), "no fill value for " + name);
    } else {
      // A string's own fill value is the empty string, which readers then
      // take for a missing name; a raw control character is never a name.
      check(nc().defVarFill(group_, id, NC_FILL, &kNoNameFill), "fill value of " + name);
    }
    // Room in the cache for the chunk being written, and no more.
    check(nc().setVarChunkCache(group_, id, chunk * storedSize(variable.type) + 4096, 7, 0.75f),
          "chunk cache of " + name);
    putText(group_, id, "long_name", variable.longName);
    if (!variable.units.empty()) putText(group_, id, "units", variable.units);
    if (!variable.standardName.empty()) putText(group_, id, "standard_name", variable.standardName);
    if (!variable.comment.empty()) putText(group_, id, "comment", variable.comment);
    if (variable.scaleFactor != 0) {
      check(nc().putAttDouble(group_, id, "scale_factor", NC_DOUBLE, 1, &variable.scaleFactor), "scale_factor");
    }
    if (variable.name == "time") {
      putText(group_, id, "units", "microseconds since " + isoTime(epoch_, 3).substr(0, 19) + "Z");
      putText(group_, id, "calendar", "standard");
      putText(group_, id, "axis", "T");
    } else {
      // The clock may step back, so time is not the dimension's coordinate.
      putText(group_, id, "coordinates", "time");
    }
    return id;
  }

  void writeColumn(size_t i, size_t rows) {
    const NetcdfVariable& variable = variables_[i];
    const Column& column = *sources_[i];
    const size_t start = written_;
    const std::string what = "values of " + std::string(variable.name);
    if (variable.name == "time") {
      std::vector<long long> offsets(rows);
      const std::span<const int64_t> times = column.values<int64_t>();
      for (size_t row = 0; row < rows; ++row) offsets[row] = times[row] == kNoTime ? kTimeFill : times[row] - epoch_;
      check(nc().putVaraLonglong(group_, ids_[i], &start, &rows, offsets.data()), what);
      return;
    }
    switch (column.definition().type) {
      case ColumnType::kInt16: {
        const std::span<const int16_t> values = column.values<int16_t>();
        for (size_t row = 0; row < rows; ++row) ranges_[i].add(values[row] * variable.scaleFactor);
        check(nc().putVaraShort(group_, ids_[i], &start, &rows, values.data()), what);
        break;
      }
      case ColumnType::kInt32: {
        const std::span<const int32_t> values = column.values<int32_t>();
        for (size_t row = 0; row < rows; ++row) ranges_[i].add(values[row] * variable.scaleFactor);
        check(nc().putVaraInt(group_, ids_[i], &start, &rows, values.data()), what);
        break;
      }
      case ColumnType::kInt64: {
        const std::span<const int64_t> values = column.values<int64_t>();
        static_assert(sizeof(long long) == sizeof(int64_t));
        check(nc().putVaraLonglong(group_, ids_[i], &start, &rows, reinterpret_cast<const long long*>(values.data())),
              what);
        break;
      }
      case ColumnType::kFloat64: {
        const std::span<const double> values = column.values<double>();
        for (size_t row = 0; row < rows; ++row) ranges_[i].add(values[row]);
        check(nc().putVaraDouble(group_, ids_[i], &start, &rows, values.data()), what);
        break;
      }
      case ColumnType::kText: {
        // netCDF's strings are UTF-8: a name damaged into other bytes is
        // kept as text that gives the bytes back.
        std::vector<std::string> texts;
        std::vector<const char*> names;
        texts.reserve(rows);
        names.reserve(rows);
        for (size_t row = 0; row < rows; ++row) names.push_back(texts.emplace_back(escapedName(column.texts()[row])).c_str());
        check(nc().putVaraString(group_, ids_[i], &start, &rows, names.data()), what);
        break;
      }
      default: break;
    }
  }

  TableKind kind_;
  std::span<const NetcdfVariable> variables_;
  int64_t epoch_;
  int group_ = 0;
  int dimension_ = 0;
  std::vector<int> ids_;
  Table table_;
  std::vector<const Column*> sources_;
  std::vector<Range> ranges_;
  size_t written_ = 0;
};

// What room the file needs on the disk before HDF5 writes: it cannot close
// a file once a write has failed. Throws when there is not that much.
using RoomFor = std::function<void(uint64_t bytes)>;

// The groups' metadata, the indexes of their chunks, the attributes.
constexpr uint64_t kRoomToSpare = uint64_t{1} << 20;

void makeRoom(const std::vector<std::unique_ptr<GroupWriter>>& groups, const RoomFor& roomFor, bool atEnd,
              uint64_t more = 0) {
  uint64_t bytes = kRoomToSpare + more;
  for (const auto& group : groups) bytes += group->mostItCanWrite(atEnd);
  roomFor(bytes);
}


// Hands every record to the tables of every group written, and the groups
// write their rows between pieces of the input.
class RunView {
 public:
  RunView(std::vector<std::unique_ptr<GroupWriter>>& groups, const TimeWindow& window, uint16_t rate,
          std::optional<FileHeader>& firstHeader, const RoomFor& roomFor)
      : groups_(groups), firstHeader_(firstHeader), roomFor_(roomFor) {
    for (auto& group : groups) {
      rows_.push_back(std::make_unique<ColumnRows>(group->rows(), false));
      views_.push_back(std::make_unique<TableRowsView<ColumnRows>>(group->rows().kind, window, rate, *rows_.back()));
    }
  }

  uint16_t rate() const { return views_.empty() ? 0 : views_.front()->rate(); }

  void piece(const uint8_t* /*begin*/, uint64_t /*offset*/) {
    makeRoom(groups_, roomFor_, false);
    for (auto& group : groups_) group->writeRows(false);
  }
  void fileHeader(const uint8_t* body) {
    if (!firstHeader_) firstHeader_ = readFileHeader(body);
    for (auto& view : views_) view->fileHeader(body);
  }
  void secondMarker(const uint8_t* body) {
    for (auto& view : views_) view->secondMarker(body);
  }
  void dataRecords(const uint8_t* records, size_t count) {
    for (auto& view : views_) view->dataRecords(records, count);
  }
  void pressure(const uint8_t* body) {
    for (auto& view : views_) view->pressure(body);
  }
  void index(const uint8_t* body) {
    for (auto& view : views_) view->index(body);
  }
  void system(const uint8_t* body) {
    for (auto& view : views_) view->system(body);
  }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}

 private:
  std::vector<std::unique_ptr<GroupWriter>>& groups_;
  std::optional<FileHeader>& firstHeader_;
  const RoomFor& roomFor_;
  std::vector<std::unique_ptr<ColumnRows>> rows_;
  std::vector<std::unique_ptr<TableRowsView<ColumnRows>>> views_;
};

std::string damageText(const std::string& name, const Damage& damage) {
  std::string text;
  if (damage.unknownBytes > 0) {
    text += name + ": " + std::to_string(damage.unknownBytes) +
            (damage.unknownBytes == 1 ? " byte" : " bytes") + " of unknown record type, the first at offset " +
            std::to_string(damage.firstUnknownOffset);
  }
  if (damage.cutSize > 0) {
    if (!text.empty()) text += "\n";
    text += name + ": record of type " + std::to_string(damage.cutType) + " cut short at offset " +
            std::to_string(damage.cutOffset) + " (" + std::to_string(damage.cutSize) + " of " +
            std::to_string(recordSize(damage.cutType)) + " bytes), not written";
  }
  if (damage.unwrittenBytes > 0) {
    if (!text.empty()) text += "\n";
    text += name + ": " + std::to_string(damage.unwrittenBytes) +
            (damage.unwrittenBytes == 1 ? " zero byte" : " zero bytes") + " at offset " +
            std::to_string(damage.unwrittenOffset) + ": unwritten";
  }
  return text;
}

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
void putGlobalAttributes(int id, std::span<const NamedInput> inputs, const NetcdfResult& result,
                         const std::optional<FileHeader>& header, const NetcdfOptions& options) {
  const std::string now = utcNow();
  std::vector<NetcdfAttribute> attributes = {
      {"Conventions", std::string("CF-1.8")},
      {"title", std::string("ZOLT data logger records")},
      {"history", now + " " + options.history},
      {"date_created", now},
      {"decoder_version", std::string("decode " ZOLT_VERSION)},
  };
  // CF asks for a source in every file.
  attributes.push_back({"source", header ? "ZOLT data logger, ID " + std::to_string(header->id) + ", firmware version " +
                                               std::to_string(header->ver) + ", " + std::to_string(header->rate) +
                                               " inertial samples a second"
                                         : std::string("ZOLT data logger, no file header record found")});
  std::string names;
  std::string damage;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (result.inputs[i].error.failed()) continue;
    names += (names.empty() ? "" : "\n") + inputs[i].name;
    const std::string told = damageText(inputs[i].name, result.inputs[i].damage);
    if (!told.empty()) damage += (damage.empty() ? "" : "\n") + told;
  }
  attributes.push_back({"input_files", names});
  attributes.push_back({"comment", damage.empty() ? std::string("no damage found in the input files") : damage});
  for (const NetcdfAttribute& own : options.attributes) {
    const auto same = std::find_if(attributes.begin(), attributes.end(),
                                   [&](const NetcdfAttribute& each) { return each.name == own.name; });
    if (same != attributes.end()) attributes.erase(same);
    attributes.push_back(own);
  }
  for (const NetcdfAttribute& attribute : attributes) putAttribute(id, attribute);
}

// Writes the run into the open file `id`; the inputs' outcomes go into
// `result`.
void writeRun(int id, std::span<const NamedInput> inputs, const NetcdfOptions& options, const RoomFor& roomFor,
              NetcdfResult& result) {
  const RunStart start = lookAtStarts(inputs, options.window);
  const int64_t epoch = start.firstMarker ? int64_t{*start.firstMarker} * kMicrosecondsPerSecond : 0;
  std::vector<std::unique_ptr<GroupWriter>> groups;
  for (size_t kind = 0; kind < kTableKinds; ++kind) {
    const auto table = static_cast<TableKind>(kind);
    if (options.onlyTable && *options.onlyTable != table) continue;
    const bool untimed = start.untimedRows && (table == TableKind::kData || table == TableKind::kPressure);
    groups.push_back(std::make_unique<GroupWriter>(id, table, untimed, epoch));
  }
  check(nc().enddef(id), "the definitions");
  uint16_t rate = 0;
  std::optional<FileHeader> firstHeader;
  for (const NamedInput& each : inputs) {
    RunView view(groups, options.window, rate, firstHeader, roomFor);
    result.inputs.push_back(readInput(each.input, view, options.keepGoing));
    rate = view.rate();
    if (result.inputs.back().ok()) result.written = true;
  }
  uint64_t attributes = 0;
  for (const NetcdfAttribute& each : options.attributes) {
    const auto* text = std::get_if<std::string>(&each.value);
    attributes += each.name.size() + 64 + (text != nullptr ? text->size() : 0);
  }
  makeRoom(groups, roomFor, true, attributes);
  for (auto& group : groups) {
    group->writeRows(true);
    group->finish();
  }
  putGlobalAttributes(id, inputs, result, firstHeader, options);
}

NetcdfResult failed(NetcdfResult result, const NetcdfFailure& failure) {
  result.written = false;
  if (failure.system != 0) {
    result.error = {Errc::kWriteFailed, failure.system};
    return result;
  }
  result.error = {Errc::kWriteFailed, failure.status > 0 ? failure.status : EIO};
  result.message = std::string(nc().strerror(failure.status)) + " (" + failure.what + ")";
  return result;
}

// Whether the caller's attributes can be written, said before anything is.
bool acceptable(const std::vector<NetcdfAttribute>& attributes, NetcdfResult& result) {
  result.error = {Errc::kInvalidArgument, EINVAL};
  if (attributes.size() > kMostAttributes) {
    result.message = "more than " + std::to_string(kMostAttributes) + " attributes";
    return false;
  }
  for (const NetcdfAttribute& attribute : attributes) {
    if (std::optional<std::string> problem = attributeNameProblem(attribute.name)) {
      result.message = std::move(*problem);
      return false;
    }
  }
  result.error = {};
  return true;
}

// Runs `write` into the result, turning libnetcdf's failures and a lack of
// memory into the result's error.
template <typename Write>
NetcdfResult guarded(const NetcdfOptions& options, Write write) {
  NetcdfResult result;
  if (!acceptable(options.attributes, result) || !loaded(result)) return result;
  try {
    write(result);
  } catch (const NetcdfFailure& failure) {
    return failed(std::move(result), failure);
  } catch (const std::bad_alloc&) {
    result.written = false;
    result.error = outOfMemory();
  }
  return result;
}

// Writes the run into the open file `id`, which is given up on any failure.
void writeOpenFile(int id, std::span<const NamedInput> inputs, const NetcdfOptions& options, const RoomFor& roomFor,
                   NetcdfResult& result) {
  try {
    writeRun(id, inputs, options, roomFor, result);
  } catch (...) {
    nc().abort(id);
    throw;
  }
}

}  // namespace

NetcdfResult writeNetcdf(const std::string& path, std::span<const NamedInput> inputs, const NetcdfOptions& options) {
  return guarded(options, [&](NetcdfResult& result) {
    ReplacedFile file(path);
    if (file.error().failed()) {
      result.error = file.error();
      return;
    }
    int id = 0;
    // HDF5 opens the file itself, by name; the temporary keeps its mode.
    check(nc().create(file.temporaryPath().c_str(), NC_NETCDF4 | NC_CLOBBER, &id), "creating the file");
    const RoomFor roomFor = [&file](uint64_t bytes) {
      if (const Error reserved = file.reserve(bytes); reserved.failed()) {
        throw NetcdfFailure{NC_EIO, reserved.system, "reserving room on the disk"};
      }
    };
    writeOpenFile(id, inputs, options, roomFor, result);
    check(nc().close(id), "closing the file");
    // Nothing read is nothing to replace a file with.
    const bool allRead = std::all_of(result.inputs.begin(), result.inputs.end(), [](const FileOutcome& each) { return each.ok(); });
    if (options.allOrNothing && !allRead) result.written = false;
    if (result.written) {
      result.error = file.commit();
      result.written = result.error.ok();
    }
  });
}

NetcdfResult netcdfInMemory(std::span<const NamedInput> inputs, const NetcdfOptions& options) {
  return guarded(options, [&](NetcdfResult& result) {
    int id = 0;
    constexpr size_t kFirstSize = size_t{1} << 20;
    check(nc().createMem("zolt", NC_NETCDF4, kFirstSize, &id), "creating the file in memory");
    writeOpenFile(id, inputs, options, [](uint64_t) {}, result);
    NC_memio memory{};
    check(nc().closeMemio(id, &memory), "closing the file in memory");
    const std::unique_ptr<void, decltype(&std::free)> owned(memory.memory, &std::free);
    const auto* bytes = static_cast<const uint8_t*>(memory.memory);
    result.memory.assign(bytes, bytes + memory.size);
  });
}

}  // namespace zolt
