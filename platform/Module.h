#pragma once
// The loaded module (the plug-in library, or the executable when this code is
// linked into one) that contains the instrument's code.
//
// Linux: found with dladdr on an address inside this module. Windows: the
// HMODULE kept by the library's load routine and GetModuleFileNameA.

#include <string>

namespace halvane {

// Full path of the module's file; empty when it cannot be determined.
std::string ModulePath();
// The folder of ModulePath(), without a trailing separator.
std::string ModuleFolder();
// An opaque identity of the loaded module: on Linux its load address, on
// Windows its HMODULE (which is also its load address). Null when unknown.
void* ModuleHandle();

} // namespace halvane
