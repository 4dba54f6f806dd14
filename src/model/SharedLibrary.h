#pragma once

#include <dlfcn.h>

#include <string>

namespace vantrel {

/// A shared library loaded at run time, for optional features whose library should only be
/// loaded by the runs that use them. Never closed: the functions stay in use until the process
/// ends. Records the first reason something could not be found.
class SharedLibrary {
  public:
    explicit SharedLibrary(const char* name) : m_handle(dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
        if (m_handle != nullptr) return;
        const char* reason = dlerror();
        m_error = reason != nullptr ? reason : name;
    }

    /// Sets `function` to the symbol's address; false (and the error noted) when it is missing.
    template <typename Function>
    bool resolve(const char* symbol, Function& function) {
        if (m_handle == nullptr) return false;
        function = reinterpret_cast<Function>(dlsym(m_handle, symbol));
        if (function == nullptr && m_error.empty()) m_error = std::string("missing ") + symbol;
        return function != nullptr;
    }

    /// Empty while everything asked for was found.
    const std::string& error() const { return m_error; }

  private:
    void* m_handle;
    std::string m_error;
};

/// A set of functions resolved from one `SharedLibrary`: complete, or with the reason it is not.
template <typename Functions>
struct LoadedFunctions {
    Functions functions;
    std::string error;
    bool complete = false;
};

}  // namespace vantrel
