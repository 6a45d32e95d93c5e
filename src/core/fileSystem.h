// What the library and the program ask of the file system, the same on
// every system: files opened by their UTF-8 names and read or written as
// bytes, and a file's kind, size and identity, through any links. One
// source for each system implements it.
#pragma once

#include <cstdint>
#include <string>

namespace zolt {

enum class FileKind : uint8_t { kMissing, kRegular, kDirectory, kPipe, kDevice, kOther };

struct FileStatus {
  FileKind kind = FileKind::kMissing;
  int error = 0;        // errno when there is no status: ENOENT for a missing file
  uint64_t size = 0;    // of a regular file
  uint64_t volume = 0;  // with `index`, the file whatever its name
  uint64_t index = 0;
};

FileStatus fileStatus(const std::string& path);
FileStatus descriptorStatus(int fd);
// Both name one existing file.
bool sameFile(const FileStatus& a, const FileStatus& b);

// A descriptor, or -1 with errno set; not inherited by other programs.
int openForReading(const std::string& path);
// An existing file written from its start as it is (a FIFO, a device).
int openForWriting(const std::string& path);
// For reading, without waiting for a FIFO's writer or taking a terminal:
// for a file that is to be looked at before it is read.
int openForLooking(const std::string& path);

// Up to `size` bytes, through interruptions: how many, 0 at the end, or -1
// with errno set.
int64_t readDescriptor(int fd, void* buffer, size_t size);
// All `size` bytes, through short writes and interruptions: 0, or the errno
// of why not.
int writeDescriptor(int fd, const void* data, size_t size);
// 0, or the errno of why closing failed.
int closeDescriptor(int fd);

// Where a descriptor stands, and a move to an offset from the start: 64-bit
// on every system, as files pass 4 GiB. -1 (or false) with errno set.
int64_t descriptorOffset(int fd);
bool seekDescriptor(int fd, int64_t offset);

// What an errno means, in the same words on every system.
std::string systemErrorText(int error);

}  // namespace zolt
