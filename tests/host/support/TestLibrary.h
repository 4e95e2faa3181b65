#pragma once

namespace halvane {

// The few operating-system calls the host tests make themselves: setting an
// environment variable the plug-in reads, and reaching a library the plug-in
// has loaded (to steer a stand-in for the tuning library). POSIX and Win32
// versions live in support/posix and support/win32.

namespace hosttest {

void SetEnvironment(const char* name, const char* value);

// A handle of our own on the library at path: one this process has already
// loaded (null when it has not), or else loaded now. Null on failure.
void* OpenTestLibrary(const char* path, bool alreadyLoaded);
void* TestLibrarySymbol(void* handle, const char* name);
void CloseTestLibrary(void* handle);

} // namespace hosttest

} // namespace halvane
