#include "views/averageRun.h"

#include <utility>

#include "core/readInput.h"
#include "views/averagedRows.h"
#include "views/tableRows.h"

namespace zolt {

namespace {

class AveragedColumns final : public IntervalSink {
 public:
  AveragedColumns(TableKind kind, const Averaging& averaging) : averaging_(averaging) {
    const std::vector<std::string_view> columns = averagedColumnNames(kind);
    table_.names = averagedNames(columns, averaging);
    table_.figures.resize(table_.names.size());
  }

  void interval(const IntervalRow& row) override {
    table_.start.push_back(row.start);
    table_.count.push_back(static_cast<int64_t>(row.count));
    // In the order of averagedNames(): per column, mean, min, max.
    auto figure = table_.figures.begin();
    for (size_t i = 0; i < row.mean.size(); ++i) {
      if (averaging_.mean) (figure++)->push_back(row.mean[i]);
      if (averaging_.min) (figure++)->push_back(row.min[i]);
      if (averaging_.max) (figure++)->push_back(row.max[i]);
    }
  }

  AveragedTable& table() { return table_; }

 private:
  Averaging averaging_;
  AveragedTable table_;
};

}  // namespace

struct AverageRun::Impl {
  Impl(TableKind tableKind, AverageOptions given)
      : kind(tableKind), options(std::move(given)), columns(kind, options.averaging), rows(kind, options.averaging, columns) {}
  TableKind kind;
  AverageOptions options;
  AveragedColumns columns;
  AveragedRows rows;
  RunClock clock;
};

AverageRun::AverageRun(TableKind kind, AverageOptions options) : impl_(std::make_unique<Impl>(kind, std::move(options))) {}

AverageRun::~AverageRun() = default;

FileOutcome AverageRun::add(const Input& input) {
  Impl& run = *impl_;
  TableRowsView<AveragedRows> view(run.kind, run.options.window, run.rows);
  return readInput(input, run.clock, view, run.options.keepGoing, run.options.salvage);
}

AveragedTable AverageRun::finish() {
  impl_->rows.finish();
  return std::move(impl_->columns.table());
}

}  // namespace zolt
