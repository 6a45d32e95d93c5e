// The C++ runtime for wasm32 has no unwinder, so the few throws of the
// sources (the library's are for memory running out) end the run instead:
// the page sees WebAssembly's trap and says the decoder stopped. The
// catching code is compiled as it is, and never entered.
#include <cstddef>
#include <cstdlib>

extern "C" {

[[noreturn]] void* __cxa_allocate_exception(size_t /*size*/) { std::abort(); }
[[noreturn]] void __cxa_throw(void* /*thrown*/, void* /*type*/, void (* /*destroy*/)(void*)) { std::abort(); }
[[noreturn]] void __cxa_rethrow() { std::abort(); }
void __cxa_free_exception(void* /*thrown*/) {}
[[noreturn]] void* __cxa_begin_catch(void* /*thrown*/) { std::abort(); }
void __cxa_end_catch() {}

// What a landing pad would read; never written, as nothing is thrown.
struct WasmLandingPadContext {
  int landingPadIndex;
  void* languageData;
  int selector;
};
WasmLandingPadContext __wasm_lpad_context;
[[noreturn]] int _Unwind_CallPersonality(void* /*thrown*/) { std::abort(); }
}
