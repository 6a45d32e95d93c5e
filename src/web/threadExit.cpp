// The C++ runtime for wasm32 is built without threads and lacks the call
// that registers a thread_local's destructor. The program's one thread is
// its main one, whose thread_locals die at exit like its statics, so they
// are registered as statics are.
#include <cstdlib>

extern "C" {

int __cxa_atexit(void (*destroy)(void*), void* object, void* library);

int __cxa_thread_atexit(void (*destroy)(void*), void* object, void* library) {
  return __cxa_atexit(destroy, object, library);
}
}
