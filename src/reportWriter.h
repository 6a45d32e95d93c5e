// Collects the report in one large buffer and writes it to standard output in
// big pieces. A failed write ends the process: a report that silently lost
// lines is worse than none.
#pragma once

#include <cstddef>
#include <string_view>

class ReportWriter {
 public:
  // The longest piece `reserve` hands out.
  static constexpr size_t kMaxReserve = 4096;

  // Room for at least `n` (at most kMaxReserve) characters; hand the end of
  // what was written to `commit`.
  char* reserve(size_t n) {
    if (static_cast<size_t>(kCapacity - used_) < n) flush();
    return buffer_ + used_;
  }
  void commit(const char* end) { used_ = static_cast<size_t>(end - buffer_); }

  void text(std::string_view text);
  void flush();

 private:
  static constexpr size_t kCapacity = size_t{256} * 1024;

  size_t used_ = 0;
  // Left uninitialised: only the part in use is ever touched.
  // cppcheck-suppress uninitMemberVarPrivate
  char buffer_[kCapacity];
};

// The process's one report, on standard output. Its storage starts zeroed, so
// no page of the buffer is touched before it is used.
inline ReportWriter theReport;
inline ReportWriter& reportOut() { return theReport; }

// Pipes default to 64 KiB; a larger one lets the reader downstream take the
// report in fewer, bigger pieces.
void enlargeOutputPipe();

// Ends the process after a failed write of the report.
[[noreturn]] void failWrite(int error);
