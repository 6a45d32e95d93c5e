// Where the text outputs (report, tables, check, picture) go: the caller's
// choice. The library hands a sink large pieces, a few hundred kilobytes at
// a time, and at the end of every input.
#pragma once

#include <cstddef>
#include <string>

namespace zolt {

class Sink {
 public:
  virtual ~Sink() = default;
  // Takes all of the bytes; 0, or the errno of why it could not.
  virtual int write(const char* data, size_t size) = 0;
};

class StringSink : public Sink {
 public:
  int write(const char* data, size_t size) override;
  std::string text;
};

// Writes to a descriptor the caller keeps open, through short writes and
// interruptions.
class DescriptorSink : public Sink {
 public:
  explicit DescriptorSink(int fd) : fd_(fd) {}
  int write(const char* data, size_t size) override;

 private:
  int fd_;
};

}  // namespace zolt
