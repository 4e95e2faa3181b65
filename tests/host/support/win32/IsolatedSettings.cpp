#include "support/PluginFixture.h"

#include <windows.h>

#include <shlobj.h>

namespace halvane {

namespace hosttest {

namespace {

std::string LocalAppData() {
    char path[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return path;
}

} // namespace

std::string IsolateSettings() {
    static const std::string folder = [] {
        const std::string local = LocalAppData();
        DeleteFileA((local + "\\KelpmoorMusic\\halvane.ini").c_str());
        return local;
    }();
    return folder;
}

std::string SettingsFile() {
    return IsolateSettings() + "\\KelpmoorMusic\\halvane.ini";
}

} // namespace hosttest

} // namespace halvane
