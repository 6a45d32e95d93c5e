// WebAssembly: the files are the page's own, in one folder it gives the
// program, where no other process writes and nothing is linked. The file is
// still written under a temporary name and renamed, so that a run that
// fails leaves no half-written file for the page to offer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "output/replacedFile.h"

namespace zolt {

namespace {

std::string temporaryNameFor(const std::string& path, int attempt) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + base + "~" + std::to_string(attempt);
}

}  // namespace

ReplacedFile::ReplacedFile(const std::string& path) : target_(path) {
  error_ = replaceable(target_);
  if (error_.failed()) return;
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts && fd_ < 0; ++attempt) {
    temporary_ = temporaryNameFor(target_, attempt);
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = {Errc::kCannotOpen, errno};
    temporary_.clear();
  }
}

ReplacedFile::~ReplacedFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

// The page's files live in the browser's memory or its own storage, which
// cannot be reserved ahead.
Error ReplacedFile::reserve(uint64_t /*bytes*/) {
  reserved_ = false;
  return {};
}

Error ReplacedFile::commit() {
  const int written = fd_;
  fd_ = -1;
  if (close(written) != 0) return {Errc::kWriteFailed, errno};
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return {Errc::kWriteFailed, errno};
  committed_ = true;
  return {};
}

}  // namespace zolt
