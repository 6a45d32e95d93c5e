// Windows takes names in UTF-16: a UTF-8 name is turned into one, so that
// any name Windows allows opens. Descriptors are the C runtime's, opened in
// binary mode, so that no byte is ever translated.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/fileSystem.h"
#include "core/wideName.h"

namespace zolt {

namespace {

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    default: return EIO;
  }
}

FileStatus statusOfHandle(HANDLE handle) {
  FileStatus status;
  switch (GetFileType(handle)) {
    case FILE_TYPE_PIPE: status.kind = FileKind::kPipe; return status;
    case FILE_TYPE_CHAR: status.kind = FileKind::kDevice; return status;
    case FILE_TYPE_DISK: break;
    default: status.kind = FileKind::kOther; return status;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return {FileKind::kMissing, errnoOf(GetLastError())};
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.kind = folder ? FileKind::kDirectory : FileKind::kRegular;
  status.size = folder ? 0 : (uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow);
  status.volume = info.dwVolumeSerialNumber;
  status.index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return status;
}

}  // namespace

std::wstring wideName(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
  return out;
}

FileStatus fileStatus(const std::string& path) {
  // No access is asked for, so that a file another process keeps locked
  // still tells what it is; a folder opens only with backup semantics.
  const HANDLE handle = CreateFileW(wideName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {FileKind::kMissing, errnoOf(GetLastError())};
  const FileStatus status = statusOfHandle(handle);
  CloseHandle(handle);
  return status;
}

FileStatus descriptorStatus(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return {FileKind::kMissing, EBADF};
  return statusOfHandle(handle);
}

bool sameFile(const FileStatus& a, const FileStatus& b) {
  return a.kind != FileKind::kMissing && b.kind != FileKind::kMissing && a.volume == b.volume && a.index == b.index;
}

int openForReading(const std::string& path) {
  // A folder opens for reading in the C runtime; on Linux reading it fails,
  // as it does here then.
  const FileStatus status = fileStatus(path);
  if (status.kind == FileKind::kDirectory) {
    errno = EISDIR;
    return -1;
  }
  return _wopen(wideName(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int openForWriting(const std::string& path) { return _wopen(wideName(path).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT); }

// Windows opens nothing that waits for a writer.
int openForLooking(const std::string& path) { return openForReading(path); }

int64_t readDescriptor(int fd, void* buffer, size_t size) {
  // The C runtime counts a read in 32 bits.
  constexpr size_t kMostAtOnce = size_t{1} << 30;
  return _read(fd, buffer, static_cast<unsigned>(size < kMostAtOnce ? size : kMostAtOnce));
}

int writeDescriptor(int fd, const void* data, size_t size) {
  constexpr size_t kMostAtOnce = size_t{1} << 30;
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const int written = _write(fd, bytes, static_cast<unsigned>(size < kMostAtOnce ? size : kMostAtOnce));
    if (written <= 0) return written < 0 ? errno : EIO;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

int closeDescriptor(int fd) { return _close(fd) == 0 ? 0 : errno; }

// The C runtime words some errors otherwise than the systems the program
// is compared with: the ones the program tells are given here.
// The C runtime's lseek takes a long, which is 32 bits here.
int64_t descriptorOffset(int fd) { return _lseeki64(fd, 0, SEEK_CUR); }

bool seekDescriptor(int fd, int64_t offset) { return _lseeki64(fd, offset, SEEK_SET) >= 0; }

std::string systemErrorText(int error) {
  switch (error) {
    case ENOENT: return "No such file or directory";
    case EACCES: return "Permission denied";
    case EISDIR: return "Is a directory";
    case ENOTDIR: return "Not a directory";
    case EEXIST: return "File exists";
    case EINVAL: return "Invalid argument";
    case ENOMEM: return "Cannot allocate memory";
    case EIO: return "Input/output error";
    case ENOSPC: return "No space left on device";
    case EBADF: return "Bad file descriptor";
    case EPIPE: return "Broken pipe";
    case EROFS: return "Read-only file system";
    case ENAMETOOLONG: return "File name too long";
    case EFBIG: return "File too large";
    default: break;
  }
  char buffer[128];
  return strerror_s(buffer, sizeof buffer, error) == 0 ? buffer : "Unknown error " + std::to_string(error);
}

}  // namespace zolt
