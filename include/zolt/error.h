// How a call of the library went: an error code, the errno where the
// system gave one, and the library's own words where the system has none.
// Nothing in the library throws on its own account; an allocation failure
// comes back as kOutOfMemory. The one exception is the caller's choice:
// Result<T>::value() on a failed result.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace zolt {

enum class Errc : uint8_t {
  kOk = 0,
  kCannotOpen,   // the named file could not be opened
  kCannotRead,   // a read failed
  kShrank,       // the file ended before the size it had when it was opened
  kWriteFailed,  // the output did not take what was written
  kOutOfMemory,
  kStopped,          // the caller asked to stop
  kInvalidArgument,  // a call that cannot be made: a run that was moved from, a name that is not allowed
};

struct Error {
  Error() = default;
  // cppcheck-suppress noExplicitConstructor
  Error(Errc errc, int errnum = 0, std::string words = {})  // NOLINT(google-explicit-constructor): {code, errno}
      : code(errc), system(errnum), detail(std::move(words)) {}

  Errc code = Errc::kOk;
  int system = 0;      // errno, or 0
  std::string detail;  // what failed, where errno does not say it (a library's words, a name refused)

  bool ok() const { return code == Errc::kOk; }
  bool failed() const { return code != Errc::kOk; }
  friend bool operator==(const Error&, const Error&) = default;
};

// The words for the error: its detail where it has one, else the system's
// ("No such file or directory").
std::string describe(const Error& error);

// Thrown by Result<T>::value() when there is no value.
class BadResultAccess : public std::runtime_error {
 public:
  explicit BadResultAccess(const Error& error) : std::runtime_error(describe(error)), error_(error) {}
  const Error& error() const { return error_; }

 private:
  Error error_;
};

// A value, or the error that kept it from being made.
template <typename Value>
class Result {
 public:
  // cppcheck-suppress noExplicitConstructor
  Result(Value value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor): a value is a result
  // cppcheck-suppress noExplicitConstructor
  Result(Error error) : error_(std::move(error)) {}  // NOLINT(google-explicit-constructor): so is an error

  bool ok() const { return error_.ok(); }
  const Error& error() const { return error_; }
  // The value; throws BadResultAccess when there is none.
  const Value& value() const& {
    check();
    return value_;
  }
  Value&& value() && {
    check();
    return std::move(value_);
  }

 private:
  void check() const {
    if (!ok()) throw BadResultAccess(error_);
  }
  Value value_{};
  Error error_;
};

}  // namespace zolt
