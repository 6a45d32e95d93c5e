// The Python extension zolt._zolt: the library's tables, check and writers
// for the package's Python code, which gives them their Python shape. Each
// file is decoded without the GIL, columns are filled where numpy will read
// them and handed over without a copy, and failures become Python's own
// exceptions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <map>
#include <variant>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysisAttributes.h"
#include "analysis/analysisValues.h"
#include "netcdf/groupLayout.h"
#include "text/analysisCsv.h"
#include "views/averageRun.h"
#include "views/tableBatches.h"
#include "views/tableStream.h"
#include "zolt/html.h"
#include "zolt/netcdf.h"
#include "zolt/version.h"
#include "zolt/zolt.h"

namespace py = pybind11;

namespace {

// One input as the package hands it over: a path as bytes, or the bytes of a
// file object's contents; and the name that messages use.
struct Source {
  std::string kind;  // "path" or "bytes"
  py::object value;
  py::object name;
};

Source sourceOf(const py::handle& item) {
  const auto parts = item.cast<py::tuple>();
  return {parts[0].cast<std::string>(), parts[1], parts[2]};
}

bool isContiguous(const py::buffer_info& buffer) {
  py::ssize_t stride = buffer.itemsize;
  for (size_t axis = buffer.shape.size(); axis-- > 0;) {
    if (buffer.shape[axis] > 1 && buffer.strides[axis] != stride) return false;
    stride *= buffer.shape[axis];
  }
  return true;
}

// Holds what an Input points at for as long as the input is read.
class OpenSource {
 public:
  explicit OpenSource(const Source& source) {
    if (source.kind == "path") {
      input_.emplace(zolt::Input::path(source.value.cast<std::string>()));
    } else {
      buffer_ = source.value.cast<py::buffer>().request();
      // Another layout would be read as if its bytes lay one after the other.
      if (!isContiguous(buffer_)) throw py::value_error("a file object gave bytes that do not lie one after the other");
      const auto* bytes = static_cast<const uint8_t*>(buffer_.ptr);
      input_.emplace(zolt::Input::memory({bytes, static_cast<size_t>(buffer_.size * buffer_.itemsize)}));
    }
  }
  // Under the name that outputs show.
  OpenSource(const Source& source, std::string name) : OpenSource(source) { input_ = input_->named(std::move(name)); }
  const zolt::Input& input() const { return *input_; }

 private:
  py::buffer_info buffer_;
  std::optional<zolt::Input> input_;
};

// Asks Python now and then, with the GIL, whether Ctrl-C was pressed.
zolt::KeepGoing checkingSignals() {
  return [pieces = 0]() mutable {
    constexpr int kPiecesBetweenChecks = 8;  // a megabyte of input
    if (++pieces % kPiecesBetweenChecks != 0) return true;
    const py::gil_scoped_acquire gil;
    return PyErr_CheckSignals() == 0;
  };
}

// Raises the Python exception for a failed read of `name`.
[[noreturn]] void raise(const zolt::Error& error, const py::object& name) {
  switch (error.code) {
    case zolt::Errc::kStopped:
      if (PyErr_Occurred() != nullptr) throw py::error_already_set();
      throw py::value_error("stopped");
    case zolt::Errc::kOutOfMemory: throw std::bad_alloc();
    default: break;
  }
  errno = error.system != 0 ? error.system : EIO;
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, name.ptr());
  throw py::error_already_set();
}

// What the package turns into a warning: (source number, unknown bytes,
// first unknown offset, cut type, cut size, cut offset, unwritten bytes,
// unwritten offset, skipped stretches, skipped bytes, [(offset, size)] of
// the first stretches, and the sentences every output tells it in).
py::tuple damageOf(size_t source, const zolt::Damage& damage) {
  py::list stretches;
  for (const zolt::Stretch& stretch : damage.skipped) stretches.append(py::make_tuple(stretch.offset, stretch.size));
  py::list notes;
  for (const std::string& note : zolt::damageNotes(damage)) notes.append(note);
  return py::make_tuple(source, damage.unknownBytes, damage.firstUnknownOffset, damage.cutType, damage.cutSize,
                        damage.cutOffset, damage.unwrittenBytes, damage.unwrittenOffset, damage.skippedStretches,
                        damage.skippedBytes, stretches, notes);
}

py::dtype dtypeOf(zolt::ColumnType type, bool nanoseconds, bool time) {
  if (time) return py::dtype(nanoseconds ? "datetime64[ns]" : "datetime64[us]");
  switch (type) {
    case zolt::ColumnType::kInt16: return py::dtype::of<int16_t>();
    case zolt::ColumnType::kUint16: return py::dtype::of<uint16_t>();
    case zolt::ColumnType::kInt32: return py::dtype::of<int32_t>();
    case zolt::ColumnType::kUint32: return py::dtype::of<uint32_t>();
    case zolt::ColumnType::kInt64: return py::dtype::of<int64_t>();
    case zolt::ColumnType::kFloat64: return py::dtype::of<double>();
    case zolt::ColumnType::kText: break;
  }
  return py::dtype("O");
}

// The column as a numpy array that owns the column's block: no copy.
py::array arrayOf(zolt::Column& column, bool nanoseconds) {
  const zolt::ColumnDefinition& definition = column.definition();
  const auto size = static_cast<py::ssize_t>(column.size());
  if (definition.type == zolt::ColumnType::kText) {
    py::list texts;
    for (const std::string& text : column.texts()) texts.append(py::str(zolt::escapedName(text)));
    return py::module_::import("numpy").attr("array")(texts, py::arg("dtype") = "O");
  }
  const py::dtype dtype = dtypeOf(definition.type, nanoseconds, definition.name == "time");
  const py::array::ShapeContainer shape{size};
  const py::array::StridesContainer strides{static_cast<py::ssize_t>(dtype.itemsize())};
  void* const block = column.release();
  if (block == nullptr) return py::array(dtype, shape, strides);
  const py::capsule owner(block, [](void* owned) { zolt::freeColumnBlock(owned); });
  return py::array(dtype, shape, strides, block, owner);
}

// "a, b, c": names for a message.
template <typename Names, typename NameOf>
std::string listed(const Names& names, NameOf nameOf) {
  std::string text;
  for (const auto& each : names) text += (text.empty() ? "" : ", ") + std::string(nameOf(each));
  return text;
}

[[noreturn]] void raiseUnknownColumn(const std::string& name, zolt::TableKind kind, const std::string& known) {
  throw py::value_error("no column '" + name + "' in the " + std::string(zolt::tableName(kind)) +
                        " table; its columns are " + known);
}

// Only the columns named are decoded: the others cost nothing.
zolt::ColumnSet chosenColumns(zolt::TableKind kind, const std::optional<std::vector<std::string>>& names) {
  if (!names) return zolt::csvColumns(kind);
  zolt::ColumnSet set = 0;
  for (const std::string& name : *names) {
    const std::optional<size_t> number = zolt::columnNumber(kind, name);
    if (!number) {
      raiseUnknownColumn(name, kind, listed(zolt::columnsOf(kind), [](const auto& each) { return each.name; }));
    }
    set |= zolt::ColumnSet{1} << *number;
  }
  return set;
}

// The one place a table's name is checked.
zolt::TableKind tableKind(const std::string& name) {
  const std::optional<zolt::TableKind> kind = zolt::tableNamed(name);
  if (!kind) throw py::value_error("unknown table '" + name + "'; the tables are " + zolt::kTableNames);
  return *kind;
}

// A window in microseconds from edges in nanoseconds: a row at microsecond
// t lies at t * 1000 ns.
zolt::TimeWindow windowOf(const std::optional<int64_t>& startNs, const std::optional<int64_t>& endNs) {
  auto micros = [](int64_t ns) { return ns / 1000 + (ns % 1000 > 0 ? 1 : 0); };
  zolt::TimeWindow window;
  window.given = startNs || endNs;
  if (startNs) window.from = micros(*startNs);
  if (endNs) window.to = micros(*endNs);
  return window;
}

// Each source read into the run without the GIL, in order; their damage.
template <typename Run>
py::list addSources(Run& run, const py::list& sources) {
  py::list damages;
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source source = sourceOf(sources[i]);
    const OpenSource open(source);
    zolt::FileOutcome outcome;
    {
      const py::gil_scoped_release released;
      outcome = run.add(open.input());
    }
    if (!outcome.ok()) raise(outcome.error, source.name);
    if (outcome.damage.any()) damages.append(damageOf(i, outcome.damage));
  }
  return damages;
}

// What averages on read are asked for: every 0 for none.
zolt::Averaging averagingOf(int64_t everyMicros, bool mean, bool min, bool max, bool fill) {
  if (everyMicros < 0 || (everyMicros > 0 && !mean && !min && !max)) {
    throw py::value_error("averages need a positive interval and at least one of mean, min and max");
  }
  return {everyMicros, mean, min, max, fill};
}

// The analysis's keyword arguments, in the order they are checked (that of
// the command line's options), as Python spells them.
constexpr std::array<const char*, zolt::kAnalysisValues> kAnalysisKeywords = {
    "latitude", "water", "surface", "dive_depth", "surface_depth", "min_dive", "bottom_fraction", "activity_window"};

// The parameters given as text, each held to what the command line holds
// its option to, with the same words: ValueError for the first unsound.
zolt::AnalysisSettings analysisSettings(const std::map<std::string, std::string>& given) {
  zolt::AnalysisSettings settings;
  for (const auto& entry : given) {
    const std::string& name = entry.first;
    if (std::find_if(kAnalysisKeywords.begin(), kAnalysisKeywords.end(),
                     [&](const char* keyword) { return name == keyword; }) == kAnalysisKeywords.end())
      throw py::value_error("unknown parameter '" + name + "' of the analysis");
  }
  for (size_t index = 0; index < kAnalysisKeywords.size(); ++index) {
    const auto found = given.find(kAnalysisKeywords[index]);
    if (found == given.end()) continue;
    if (const std::optional<std::string> why =
            zolt::takeAnalysisValue(static_cast<zolt::AnalysisValue>(index), found->second, settings))
      throw py::value_error(found->first + "=" + found->second + ": " + *why);
  }
  return settings;
}

// How the table was made, and its columns' units, for DataFrame.attrs.
py::dict analysisAttrs(const zolt::AnalysisSettings& settings, zolt::DerivedTable table) {
  py::dict attrs;
  for (const zolt::AnalysisAttribute& attribute : zolt::analysisAttributes(settings, table)) {
    std::visit([&](const auto& value) { attrs[py::str(attribute.name)] = value; }, attribute.value);
  }
  py::dict units;
  for (const auto& [column, unit] : zolt::analysisUnits(table)) units[py::str(column)] = unit;
  attrs["units"] = units;
  return attrs;
}

// A table made from the analysis (depth, dives, activity) as the CSV text
// that decode --csv prints, with the parameters given: (text, damages,
// attributes).
py::tuple readAnalysisTable(const py::list& sources, const std::string& table, std::optional<int64_t> startNs,
                            std::optional<int64_t> endNs, bool salvage,
                            const std::map<std::string, std::string>& parameters, int64_t everyMicros, bool mean,
                            bool min, bool max, bool fill) {
  const std::optional<zolt::DerivedTable> derived = zolt::derivedTableNamed(table);
  if (!derived) throw py::value_error("unknown table '" + table + "'; the analysis's tables are depth, dives and activity");
  zolt::StringSink sink;
  zolt::AnalysisCsvOptions options;
  options.table = *derived;
  options.window = windowOf(startNs, endNs);
  options.salvage = salvage;
  options.keepGoing = checkingSignals();
  options.settings = analysisSettings(parameters);
  options.averaging = averagingOf(everyMicros, mean, min, max, fill);
  if (options.averaging.on() && !zolt::averagesOf(*derived)) {
    throw py::value_error("the " + table + " table has no averages: its rows are no series in time");
  }
  zolt::AnalysisCsvRun run(sink, options);
  const py::list damages = addSources(run, sources);
  if (const zolt::Error error = run.finish(); error.failed()) raise(error, py::none());
  return py::make_tuple(py::bytes(sink.text), damages, analysisAttrs(options.settings, *derived));
}

py::tuple readTable(const py::list& sources, const std::string& table, std::optional<int64_t> startNs,
                    std::optional<int64_t> endNs, bool nanoseconds,
                    const std::optional<std::vector<std::string>>& columns, uint16_t carriedRate, bool salvage) {
  const zolt::TableKind kind = tableKind(table);
  zolt::TableOptions options;
  options.carriedRate = carriedRate;
  options.salvage = salvage;
  options.window = windowOf(startNs, endNs);
  options.columns = chosenColumns(kind, columns);
  options.nanoseconds = nanoseconds;
  options.keepGoing = checkingSignals();
  zolt::TableRun run(kind, options);
  const py::list damages = addSources(run, sources);
  zolt::Table result = run.take();
  py::dict arrays;
  for (zolt::Column& column : result.columns) {
    arrays[py::str(std::string(column.definition().name))] = arrayOf(column, nanoseconds);
  }
  return py::make_tuple(arrays, damages, result.rows);
}

template <typename Value>
py::array copiedArray(const std::vector<Value>& values, const py::dtype& dtype) {
  py::array array(dtype, py::array::ShapeContainer{static_cast<py::ssize_t>(values.size())});
  if (!values.empty()) std::copy(values.begin(), values.end(), static_cast<Value*>(array.mutable_data()));
  return array;
}

// A record table's interval averages: (columns, damages, rows), the time
// of each interval its start.
py::tuple readAverages(const py::list& sources, const std::string& table, std::optional<int64_t> startNs,
                       std::optional<int64_t> endNs, bool nanoseconds, int64_t everyMicros, bool mean, bool min,
                       bool max, bool fill, bool salvage) {
  const zolt::TableKind kind = tableKind(table);
  zolt::AverageOptions options;
  options.window = windowOf(startNs, endNs);
  options.salvage = salvage;
  options.keepGoing = checkingSignals();
  options.averaging = averagingOf(everyMicros, mean, min, max, fill);
  if (!options.averaging.on()) throw py::value_error("averages need a positive interval");
  zolt::AverageRun run(kind, options);
  const py::list damages = addSources(run, sources);
  zolt::AveragedTable result;
  {
    const py::gil_scoped_release released;
    result = run.finish();
    if (nanoseconds) {
      for (int64_t& start : result.start) start *= 1000;
    }
  }
  py::dict arrays;
  arrays["time"] = copiedArray(result.start, dtypeOf(zolt::ColumnType::kInt64, nanoseconds, true));
  arrays["count"] = copiedArray(result.count, py::dtype::of<int64_t>());
  for (size_t i = 0; i < result.names.size(); ++i) {
    arrays[py::str(result.names[i])] = copiedArray(result.figures[i], py::dtype::of<double>());
  }
  return py::make_tuple(arrays, damages, result.start.size());
}

// A table of the sources handed out a batch at a time, while a thread of
// the library reads on: Python's iterator of DataFrames stands on it.
class BatchReader {
 public:
  BatchReader(const py::list& sources, const std::string& table, std::optional<int64_t> startNs,
              std::optional<int64_t> endNs, bool nanoseconds, const std::optional<std::vector<std::string>>& columns,
              size_t rows, bool salvage)
      : nanoseconds_(nanoseconds) {
    const zolt::TableKind kind = tableKind(table);
    zolt::TableOptions options;
    options.salvage = salvage;
    options.window = windowOf(startNs, endNs);
    options.columns = chosenColumns(kind, columns);
    options.nanoseconds = nanoseconds;
    open_.reserve(sources.size());
    std::vector<zolt::Input> inputs;
    for (const py::handle item : sources) {
      given_.push_back(sourceOf(item));
      open_.emplace_back(given_.back());
      inputs.push_back(open_.back().input());
    }
    batches_.emplace(kind, std::move(options), rows, std::move(inputs));
  }

  // The next batch as ({name: array}, rows); None at the end. Ctrl-C is
  // heard while it waits.
  py::object next() {
    if (!batches_) return py::none();
    for (;;) {
      zolt::Batch batch;
      {
        const py::gil_scoped_release released;
        batch = batches_->next(std::chrono::milliseconds(100));
      }
      if (batch.state == zolt::Batch::State::kEnd) return py::none();
      if (batch.state == zolt::Batch::State::kWaiting) {
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        continue;
      }
      py::dict arrays;
      for (zolt::Column& column : batch.rows.columns) {
        arrays[py::str(std::string(column.definition().name))] = arrayOf(column, nanoseconds_);
      }
      return py::make_tuple(arrays, batch.rows.rows);
    }
  }

  // The damages of the inputs read since the last call, as read_table
  // gives them; raises for the input that could not be read once its rows
  // before the failure were handed out.
  py::list damages(bool atEnd) {
    py::list found;
    if (!batches_) return found;
    const std::vector<zolt::FileOutcome> outcomes = batches_->outcomes();
    for (; told_ < outcomes.size(); ++told_) {
      if (!outcomes[told_].ok()) break;
      if (outcomes[told_].damage.any()) found.append(damageOf(told_, outcomes[told_].damage));
    }
    if (atEnd && told_ < outcomes.size()) {
      const size_t failed = told_++;
      if (outcomes[failed].damage.any()) found.append(damageOf(failed, outcomes[failed].damage));
      failure_ = failed;
    }
    return found;
  }

  // Raises the failure that damages(true) found, if any.
  void raiseFailure() {
    if (!failure_) return;
    const zolt::FileOutcome outcome = batches_->outcomes().at(*failure_);
    const py::object name = given_.at(*failure_).name;
    close();
    raise(outcome.error, name);
  }

  // Stops the reading and lets go of the sources.
  void close() {
    if (!batches_) return;
    {
      const py::gil_scoped_release released;
      batches_.reset();
    }
    open_.clear();
  }

 private:
  bool nanoseconds_;
  std::vector<Source> given_;
  std::vector<OpenSource> open_;
  std::optional<zolt::TableBatches> batches_;  // after what it reads, so that it stops first
  size_t told_ = 0;
  std::optional<size_t> failure_;
};

// When each table's rows of one source lie, in microseconds, found without
// decoding it: {"tables": {name: (first, last, in order) or None},
// "last_rate": rate or None, "uses_carried_rate": bool}.
py::dict fileSpans(const py::tuple& item, uint16_t carriedRate, bool salvage) {
  const Source source = sourceOf(item);
  const OpenSource open(source);
  zolt::FileSpans spans;
  zolt::FileOutcome outcome;
  {
    const py::gil_scoped_release released;
    outcome = zolt::spansOf(open.input(), carriedRate, spans, checkingSignals(), salvage);
  }
  if (!outcome.ok()) raise(outcome.error, source.name);
  py::dict tables;
  for (size_t kind = 0; kind < zolt::kTableKinds; ++kind) {
    const zolt::TimeSpan& span = spans.tables[kind];
    const std::string name(zolt::tableName(static_cast<zolt::TableKind>(kind)));
    tables[py::str(name)] = span.empty() ? py::object(py::none()) : py::object(py::make_tuple(span.first, span.last, span.inOrder));
  }
  py::dict result;
  result["tables"] = tables;
  result["last_rate"] = spans.lastRate ? py::object(py::int_(*spans.lastRate)) : py::object(py::none());
  result["uses_carried_rate"] = spans.usesCarriedRate;
  return result;
}

// Whether a file's first bytes show that it times data by a carried rate;
// None when they do not tell.
py::object usesCarriedRate(const py::bytes& start) {
  const std::string_view bytes = start;
  const std::optional<bool> uses = zolt::usesCarriedRate({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  return uses ? py::object(py::bool_(*uses)) : py::object(py::none());
}

// The --info=json lines of the sources under their names (as bytes), and
// of the run when there are several.
py::list infoLines(const py::list& sources, const std::vector<std::string>& names, bool salvage) {
  zolt::SummaryRun run({checkingSignals(), salvage});
  py::list lines;
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source source = sourceOf(sources[i]);
    const OpenSource open(source);
    zolt::FileOutcome outcome;
    {
      const py::gil_scoped_release released;
      outcome = run.add(open.input());
    }
    if (!outcome.ok()) raise(outcome.error, source.name);
    lines.append(zolt::infoJson(names.at(i), run.file()));
  }
  if (sources.size() > 1) lines.append(zolt::infoJson(std::nullopt, run.run()));
  return lines;
}

std::vector<zolt::NetcdfAttribute> attributesOf(const py::list& items) {
  std::vector<zolt::NetcdfAttribute> attributes;
  for (const py::handle item : items) {
    const auto pair = item.cast<py::tuple>();
    zolt::NetcdfAttribute attribute{pair[0].cast<std::string>(), std::string()};
    const py::handle value = pair[1];
    if (py::isinstance<py::str>(value)) {
      attribute.value = value.cast<std::string>();
    } else if (py::isinstance<py::int_>(value)) {
      attribute.value = value.cast<int64_t>();
    } else {
      attribute.value = value.cast<double>();
    }
    attributes.push_back(std::move(attribute));
  }
  return attributes;
}

// The sources, each under its name, held open while they are read.
struct OpenSources {
  std::vector<Source> given;
  std::vector<OpenSource> open;
  std::vector<zolt::Input> inputs;

  OpenSources(const py::list& sources, const std::vector<std::string>& names) {
    open.reserve(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
      given.push_back(sourceOf(sources[i]));
      open.emplace_back(given.back(), names.at(i));
      inputs.push_back(open.back().input());
    }
  }
};

[[noreturn]] void raiseNetcdf(const zolt::Error& error, const py::object& target) {
  if (error.code == zolt::Errc::kOutOfMemory) throw std::bad_alloc();
  if (error.code == zolt::Errc::kInvalidArgument) throw py::value_error(zolt::describe(error));
  // OSError(errno, text, name) becomes the subclass for the errno.
  PyErr_SetObject(PyExc_OSError, py::make_tuple(error.system, zolt::describe(error), target).ptr());
  throw py::error_already_set();
}

// Writes the sources as one netCDF file at `path`: the damages. Writes
// nothing unless every source is read.
py::list writeNetcdf(const py::list& sources, const std::vector<std::string>& names, const std::string& path,
                     std::optional<int64_t> startNs, std::optional<int64_t> endNs, const py::list& attributes,
                     const std::string& history, bool salvage) {
  const OpenSources open(sources, names);
  zolt::NetcdfOptions options;
  options.salvage = salvage;
  options.window = windowOf(startNs, endNs);
  options.attributes = attributesOf(attributes);
  options.history = history;
  options.allOrNothing = true;
  options.keepGoing = checkingSignals();
  zolt::NetcdfResult result;
  {
    const py::gil_scoped_release released;
    result = zolt::writeNetcdf(path, open.inputs, options);
  }
  py::list damages;
  for (size_t i = 0; i < result.inputs.size(); ++i) {
    if (!result.inputs[i].ok()) raise(result.inputs[i].error, open.given[i].name);
    if (result.inputs[i].damage.any()) damages.append(damageOf(i, result.inputs[i].damage));
  }
  if (result.error.failed()) raiseNetcdf(result.error, py::str(path));
  return damages;
}

// Writes the sources' interactive page at `path`: the damages.
py::list writeHtml(const py::list& sources, const std::vector<std::string>& names, const std::string& path,
                   std::optional<int64_t> startNs, std::optional<int64_t> endNs, uint64_t budgetBytes, bool salvage) {
  const OpenSources open(sources, names);
  zolt::HtmlOptions options;
  options.window = windowOf(startNs, endNs);
  options.budgetBytes = budgetBytes;
  options.salvage = salvage;
  options.keepGoing = checkingSignals();
  zolt::HtmlPage page;
  {
    const py::gil_scoped_release released;
    page = zolt::writeHtml(path, open.inputs, options);
  }
  py::list damages;
  for (size_t i = 0; i < page.inputs.size(); ++i) {
    if (!page.inputs[i].ok()) raise(page.inputs[i].error, open.given[i].name);
    if (page.inputs[i].damage.any()) damages.append(damageOf(i, page.inputs[i].damage));
  }
  if (page.error.failed()) raiseNetcdf(page.error, py::str(path));
  return damages;
}

py::object attributeValue(const zolt::VariableAttribute& attribute) {
  if (const auto* text = std::get_if<std::string>(&attribute.value)) return py::str(*text);
  if (const auto* one = std::get_if<double>(&attribute.value)) return py::float_(*one);
  const auto& pair = std::get<std::array<double, 2>>(attribute.value);
  py::array_t<double> range(2);
  range.mutable_at(0) = pair[0];
  range.mutable_at(1) = pair[1];
  return range;
}

template <typename Value>
py::array arrayOfValues(const Value* values, size_t size) {
  return py::array_t<Value>(static_cast<py::ssize_t>(size), values);
}

py::array storedArray(const zolt::StoredValues& stored) {
  return std::visit(
      [](const auto& values) -> py::array {
        using Values = std::decay_t<decltype(values)>;
        if constexpr (std::is_same_v<Values, std::vector<std::string>>) {
          py::list texts;
          for (const std::string& text : values) texts.append(py::str(text));
          return py::module_::import("numpy").attr("array")(texts, py::arg("dtype") = "O");
        } else {
          return arrayOfValues(values.data(), values.size());
        }
      },
      stored.values);
}

// One table of the sources as the variables of its netCDF group, as they
// are stored, with their attributes, for xarray to decode as it decodes the
// file: ([(name, values, attributes)], damages).
// Which of a group's variables to make: those named, and always the time
// they are laid out along.
std::vector<size_t> chosenVariables(const zolt::GroupLayout& layout,
                                    const std::optional<std::vector<std::string>>& names) {
  const std::span<const zolt::NetcdfVariable> variables = layout.variables();
  std::vector<size_t> chosen;
  for (size_t i = 0; i < variables.size(); ++i) {
    const bool named = !names || variables[i].name == "time" ||
                       std::find(names->begin(), names->end(), variables[i].name) != names->end();
    if (named) chosen.push_back(i);
  }
  for (const std::string& name : names.value_or(std::vector<std::string>{})) {
    const bool known = std::any_of(variables.begin(), variables.end(), [&](const auto& each) { return each.name == name; });
    if (!known) raiseUnknownColumn(name, layout.kind(), listed(variables, [](const auto& each) { return each.name; }));
  }
  return chosen;
}

// The columns that the chosen variables are encoded from.
zolt::ColumnSet columnsFor(const zolt::GroupLayout& layout, const std::vector<size_t>& chosen) {
  zolt::ColumnSet set = 0;
  for (const size_t i : chosen) set |= zolt::ColumnSet{1} << *zolt::columnNumber(layout.kind(), layout.variables()[i].column);
  return set;
}

py::tuple datasetVariables(const py::list& sources, const std::vector<std::string>& names, const std::string& table,
                           std::optional<int64_t> startNs, std::optional<int64_t> endNs, bool salvage,
                           const std::optional<std::vector<std::string>>& columns) {
  const zolt::TableKind kind = tableKind(table);
  const OpenSources open(sources, names);
  zolt::TableOptions options;
  options.salvage = salvage;
  options.window = windowOf(startNs, endNs);
  options.keepGoing = checkingSignals();
  zolt::RunStart start;
  {
    const py::gil_scoped_release released;
    start = zolt::lookAtStarts(open.inputs, options.window, salvage);
  }
  const int64_t epoch = start.firstMarker ? int64_t{*start.firstMarker} * 1000000 : 0;
  zolt::GroupLayout layout(kind, epoch, start.untimed(kind));
  const std::vector<size_t> chosen = chosenVariables(layout, columns);
  options.columns = columnsFor(layout, chosen);
  zolt::TableRun run(kind, options);
  py::list damages;
  for (size_t i = 0; i < open.inputs.size(); ++i) {
    zolt::FileOutcome outcome;
    {
      const py::gil_scoped_release released;
      outcome = run.add(open.inputs[i]);
    }
    if (!outcome.ok()) raise(outcome.error, open.given[i].name);
    if (outcome.damage.any()) damages.append(damageOf(i, outcome.damage));
  }
  const zolt::Table rows = run.take();
  py::list variables;
  for (const size_t i : chosen) {
    const py::array values = storedArray(layout.encode(i, rows, rows.rows));
    py::dict attributes;
    for (const zolt::VariableAttribute& attribute : layout.attributes(i)) {
      attributes[py::str(attribute.name)] = attributeValue(attribute);
    }
    if (const auto fill = layout.fill(i)) {
      std::visit([&](const auto& value) { attributes["_FillValue"] = py::cast(value); }, *fill);
    }
    for (const zolt::VariableAttribute& attribute : layout.closingAttributes(i)) {
      attributes[py::str(attribute.name)] = attributeValue(attribute);
    }
    variables.append(py::make_tuple(std::string(layout.variables()[i].name), values, attributes));
  }
  return py::make_tuple(variables, damages);
}

// (name, numpy dtype, in the CSV table, the value column a count column
// counts, what one count is worth, long name, units) for every column of a
// table, as the catalogue has them.
py::list tableColumns(const std::string& table) {
  py::list columns;
  for (const zolt::ColumnDefinition& definition : zolt::columnsOf(tableKind(table))) {
    const py::dtype dtype = dtypeOf(definition.type, false, definition.name == "time");
    columns.append(py::make_tuple(std::string(definition.name), dtype, definition.csv,
                                  std::string(definition.countOf), definition.scale, std::string(definition.longName),
                                  std::string(definition.units)));
  }
  return columns;
}

}  // namespace

PYBIND11_MODULE(_zolt, module) {
  module.doc() = "The decoding library behind the zolt package; use the functions of zolt itself.";
  module.def("read_table", &readTable, py::arg("sources"), py::arg("table"), py::arg("start_ns"), py::arg("end_ns"),
             py::arg("nanoseconds"), py::arg("columns") = py::none(), py::arg("carried_rate") = 0,
             py::arg("salvage") = false, "Reads one table of the sources as a run: (columns, damages, rows).");
  module.def("read_analysis_table", &readAnalysisTable, py::arg("sources"), py::arg("table"), py::arg("start_ns"),
             py::arg("end_ns"), py::arg("salvage") = false, py::arg("parameters") = std::map<std::string, std::string>{},
             py::arg("every_us") = 0, py::arg("mean") = true, py::arg("min") = false, py::arg("max") = false,
             py::arg("fill") = false,
             "Reads a table made from the analysis of the sources as one deployment, or its averages over "
             "intervals of every_us: (CSV text, damages, attributes).");
  module.def("analysis_keywords", [] { return std::vector<std::string>(kAnalysisKeywords.begin(), kAnalysisKeywords.end()); },
             "The analysis's keyword arguments, in the order they are checked.");
  module.def(
      "interval_micros", [](const std::string& text) { return zolt::intervalMicros(text); }, py::arg("text"),
      "An interval such as 1s or 250ms in microseconds, as decode --every takes it; None for any other text.");
  module.def("read_averages", &readAverages, py::arg("sources"), py::arg("table"), py::arg("start_ns"),
             py::arg("end_ns"), py::arg("nanoseconds"), py::arg("every_us"), py::arg("mean") = true,
             py::arg("min") = false, py::arg("max") = false, py::arg("fill") = false, py::arg("salvage") = false,
             "Reads a record table's averages over intervals of every_us, as decode --csv --every: "
             "(columns, damages, intervals).");
  py::class_<BatchReader>(module, "BatchReader")
      .def(py::init<const py::list&, const std::string&, std::optional<int64_t>, std::optional<int64_t>, bool,
                    const std::optional<std::vector<std::string>>&, size_t, bool>(),
           py::arg("sources"), py::arg("table"), py::arg("start_ns"), py::arg("end_ns"), py::arg("nanoseconds"),
           py::arg("columns"), py::arg("rows"), py::arg("salvage") = false)
      .def("next", &BatchReader::next, "The next batch as ({name: array}, rows); None at the end.")
      .def("damages", &BatchReader::damages, py::arg("at_end"),
           "The damages of the sources read since the last call.")
      .def("raise_failure", &BatchReader::raiseFailure, "Raises for the source that could not be read, if any.")
      .def("close", &BatchReader::close, "Stops the reading and lets go of the sources.");
  module.def("uses_carried_rate", &usesCarriedRate, py::arg("start"),
             "Whether a file's first bytes show that it times data by the rate carried in; None when they do not tell.");
  module.def("file_spans", &fileSpans, py::arg("source"), py::arg("carried_rate") = 0, py::arg("salvage") = false,
             "When each table's rows of one source lie, found without decoding it.");
  module.def("info_lines", &infoLines, py::arg("sources"), py::arg("names"), py::arg("salvage") = false,
             "The deployment check of the sources as JSON lines.");
  module.def("table_columns", &tableColumns, py::arg("table"), "Every column a table can have.");
  module.def("write_netcdf", &writeNetcdf, py::arg("sources"), py::arg("names"), py::arg("path"), py::arg("start_ns"),
             py::arg("end_ns"), py::arg("attributes"), py::arg("history"), py::arg("salvage") = false,
             "Writes the sources as one netCDF file: the damages.");
  module.def("write_html", &writeHtml, py::arg("sources"), py::arg("names"), py::arg("path"), py::arg("start_ns"),
             py::arg("end_ns"), py::arg("budget_bytes") = zolt::kDefaultHtmlBudget, py::arg("salvage") = false,
             "Writes the sources' interactive page: the damages.");
  module.def("dataset_variables", &datasetVariables, py::arg("sources"), py::arg("names"), py::arg("table"),
             py::arg("start_ns"), py::arg("end_ns"), py::arg("salvage") = false, py::arg("columns") = py::none(),
             "One table as the variables of its netCDF group, as stored: ([(name, values, attributes)], damages).");
  module.def(
      "attribute_name_problem", [](const std::string& name) { return zolt::attributeNameProblem(name); },
      py::arg("name"), "Why netCDF would not take the name for a global attribute; None when it would.");
  py::list tables;
  for (size_t kind = 0; kind < zolt::kTableKinds; ++kind) tables.append(std::string(zolt::tableName(static_cast<zolt::TableKind>(kind))));
  module.attr("tables") = py::tuple(tables);
  module.attr("default_html_budget") = zolt::kDefaultHtmlBudget;
  module.attr("__version__") = ZOLT_VERSION;
}
