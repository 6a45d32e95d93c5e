// Runs the real decode binary in a scratch folder and captures what it does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// "00 7F ff" -> {0x00, 0x7F, 0xFF}; spaces are optional separators.
Bytes hexBytes(const std::string& text);
Bytes concat(std::initializer_list<Bytes> parts);

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

struct RunOptions {
  std::vector<std::string> env{};  // extra NAME=value entries
  std::string stdoutPath{};      // redirect standard output here instead of capturing it
  bool closeStdout = false;
  bool closeStdin = false;
  size_t stackLimitKiB = 0;  // 0 leaves the limit as it is
  std::string stdinPath{};
  // When not empty: fed to standard input through a pipe, in pieces of 1 to
  // stdinPieceMax bytes, so that the decoder sees short reads.
  Bytes stdinBytes{};
  size_t stdinPieceMax = 1;
  // When not empty: stdinBytes go to this FIFO instead of standard input.
  std::string fifoPath{};
};

// A fresh folder removed with everything in it when the object goes.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // Writes `bytes` to `name` in the folder and returns `name`.
  std::string file(const std::string& name, const Bytes& bytes) const;
  const std::string& path() const { return path_; }
  RunResult run(const std::vector<std::string>& args, const RunOptions& options = {}) const;

 private:
  std::string path_;
};

// The report of one successfully read file, as the decoder frames it.
std::string fileReport(const std::string& name, const std::string& lines);
