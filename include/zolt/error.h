// How a call of the library went: an error code and, where the system gave
// one, its errno. Nothing in the library throws on its own account; an
// allocation failure comes back as kOutOfMemory.
#pragma once

#include <cstdint>
#include <string>

namespace zolt {

enum class Errc : uint8_t {
  kOk = 0,
  kCannotOpen,   // the named file could not be opened
  kCannotRead,   // a read failed
  kShrank,       // the file ended before the size it had when it was opened
  kWriteFailed,  // the sink did not take the output
  kOutOfMemory,
  kStopped,      // the caller asked to stop
  kInvalidArgument,  // a call that cannot be made: a run that was moved from, a name that is not allowed
};

struct Error {
  Errc code = Errc::kOk;
  int system = 0;  // errno, or 0

  bool ok() const { return code == Errc::kOk; }
  bool failed() const { return code != Errc::kOk; }
  friend bool operator==(const Error&, const Error&) = default;
};

// The system's words for the error ("No such file or directory").
std::string describe(const Error& error);

// A value and how making it went; the value is only meaningful when ok().
template <typename Value>
struct Result {
  Value value{};
  Error error;
  bool ok() const { return error.ok(); }
};

}  // namespace zolt
