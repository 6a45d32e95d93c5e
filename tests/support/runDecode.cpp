#include "runDecode.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

Bytes hexBytes(const std::string& text) {
  Bytes bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    digits += c;
    if (digits.size() == 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoul(digits, nullptr, 16)));
      digits.clear();
    }
  }
  if (!digits.empty()) throw std::invalid_argument("odd number of hex digits: " + text);
  return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Scratch::Scratch() {
  std::string pattern = (fs::temp_directory_path() / "decode-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

Scratch::~Scratch() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string Scratch::file(const std::string& name, const Bytes& bytes) const {
  std::ofstream out(fs::path(path_) / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return name;
}

namespace {

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void redirect(const std::string& path, int fd, int flags) {
  const int opened = open(path.c_str(), flags, 0600);
  if (opened < 0 || dup2(opened, fd) < 0) _exit(126);
  close(opened);
}

[[noreturn]] void feedInPieces(int fd, const Bytes& bytes, size_t pieceMax) {
  size_t at = 0;
  for (unsigned step = 1; at < bytes.size(); ++step) {
    const size_t piece = std::min(bytes.size() - at, 1 + (step * 7919u) % pieceMax);
    if (write(fd, bytes.data() + at, piece) != static_cast<ssize_t>(piece)) _exit(1);
    at += piece;
    if (step % 64 == 0) usleep(100);  // lets the reader drain the pipe now and then
  }
  _exit(0);
}

pid_t startFeeder(const std::string& dir, const RunOptions& options, int& readEnd) {
  if (!options.fifoPath.empty()) {
    const std::string fifo = dir + "/" + options.fifoPath;
    if (mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    const pid_t feeder = fork();
    if (feeder == 0) {
      const int fd = open(fifo.c_str(), O_WRONLY);  // waits for the decoder to open it
      if (fd < 0) _exit(1);
      feedInPieces(fd, options.stdinBytes, options.stdinPieceMax);
    }
    return feeder;
  }
  int ends[2];
  if (pipe(ends) != 0) throw std::runtime_error("pipe failed");
  const pid_t feeder = fork();
  if (feeder == 0) {
    close(ends[0]);
    feedInPieces(ends[1], options.stdinBytes, options.stdinPieceMax);
  }
  close(ends[1]);
  readEnd = ends[0];
  return feeder;
}

[[noreturn]] void execDecode(const std::string& dir, const std::vector<std::string>& args,
                             const RunOptions& options, int stdinFd) {
  if (chdir(dir.c_str()) != 0) _exit(126);
  if (options.closeStdin) {
    close(0);
  } else if (stdinFd >= 0) {
    if (dup2(stdinFd, 0) < 0) _exit(126);
    close(stdinFd);
  } else {
    redirect(options.stdinPath.empty() ? "/dev/null" : options.stdinPath, 0, O_RDONLY);
  }
  if (options.closeStdout) {
    close(1);
  } else {
    redirect(options.stdoutPath.empty() ? ".stdout" : options.stdoutPath, 1,
             O_WRONLY | O_CREAT | O_TRUNC);
  }
  redirect(".stderr", 2, O_WRONLY | O_CREAT | O_TRUNC);
  if (options.stackLimitKiB > 0) {
    const rlimit limit{options.stackLimitKiB * 1024, options.stackLimitKiB * 1024};
    if (setrlimit(RLIMIT_STACK, &limit) != 0) _exit(126);
  }
  unsetenv("TZ");
  for (const std::string& entry : options.env) putenv(const_cast<char*>(entry.c_str()));
  std::vector<char*> argv{const_cast<char*>(DECODE_BINARY)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(DECODE_BINARY, argv.data());
  _exit(127);
}

}  // namespace

RunResult Scratch::run(const std::vector<std::string>& args, const RunOptions& options) const {
  int stdinFd = -1;
  const pid_t feeder = options.stdinBytes.empty() ? -1 : startFeeder(path_, options, stdinFd);
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) execDecode(path_, args, options, stdinFd);
  if (stdinFd >= 0) close(stdinFd);
  int wstatus = 0;
  waitpid(child, &wstatus, 0);
  if (feeder > 0) waitpid(feeder, nullptr, 0);
  RunResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  if (options.stdoutPath.empty() && !options.closeStdout) result.out = slurp(fs::path(path_) / ".stdout");
  result.err = slurp(fs::path(path_) / ".stderr");
  return result;
}

std::string fileReport(const std::string& name, const std::string& lines) {
  return "\nDecoding file " + name + ":\n" + lines;
}
