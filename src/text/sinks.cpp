#include "zolt/sink.h"

#include <cerrno>
#include <new>

#include "core/fileSystem.h"

namespace zolt {

int StringSink::write(const char* data, size_t size) {
  try {
    text.append(data, size);
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
  return 0;
}

int DescriptorSink::write(const char* data, size_t size) { return writeDescriptor(fd_, data, size); }

}  // namespace zolt
