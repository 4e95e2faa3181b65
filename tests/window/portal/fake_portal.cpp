// A stand-in for the desktop portal's file chooser on a test's private
// session bus. It takes the portal's name, writes every OpenFile / SaveFile
// call it gets to a log (one "key=value" line per argument and option) and
// answers it with the Response given on its command line:
//
//   fake_portal LOG uri:file:///some/path   response 0 with that URI
//   fake_portal LOG cancel                  response 1
//   fake_portal LOG other                   response 2
//   fake_portal LOG refuse                  an error instead of a request handle
//
// "ready" on standard output once the name is owned. Ends when the bus goes,
// or after a minute.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "graphics/x11/X11DBus.h"

namespace halvane {

using namespace x11;

namespace {

const DBusApi* api = nullptr;

// Any value as text: arrays in [], structures in (), byte arrays as text
// with a visible closing NUL.
std::string Text(DBusMessageIter* it) {
    const int type = api->iterGetArgType(it);
    if (type == dbus::kString || type == dbus::kObjectPath) {
        const char* s = nullptr;
        api->iterGetBasic(it, &s);
        return s ? s : "";
    }
    if (type == dbus::kUint32 || type == dbus::kBoolean) {
        std::uint32_t v = 0;
        api->iterGetBasic(it, &v);
        return std::to_string(v);
    }
    DBusMessageIter sub;
    if (type == dbus::kVariant) {
        api->iterRecurse(it, &sub);
        return Text(&sub);
    }
    std::string out;
    if (type == dbus::kArray || type == dbus::kStruct) {
        api->iterRecurse(it, &sub);
        if (type == dbus::kArray && api->iterGetArgType(&sub) == dbus::kByte) {
            for (; api->iterGetArgType(&sub) == dbus::kByte; api->iterNext(&sub)) {
                unsigned char b = 0;
                api->iterGetBasic(&sub, &b);
                out += b ? std::string(1, static_cast<char>(b)) : std::string("<NUL>");
            }
            return out;
        }
        for (bool first = true; api->iterGetArgType(&sub) != dbus::kInvalid;
             api->iterNext(&sub), first = false)
            out += (first ? "" : ",") + Text(&sub);
        return type == dbus::kArray ? "[" + out + "]" : "(" + out + ")";
    }
    return "?";
}

void Answer(DBusConnection* bus, DBusMessage* call, const std::string& mode, std::ofstream& log) {
    DBusMessageIter it, options, entry;
    api->iterInit(call, &it);
    log << "method=" << api->messageGetMember(call) << "\n";
    log << "parent=" << Text(&it) << "\n";
    api->iterNext(&it);
    log << "title=" << Text(&it) << "\n";
    api->iterNext(&it);
    std::string token = "t";
    api->iterRecurse(&it, &options);
    for (; api->iterGetArgType(&options) == dbus::kDictEntry; api->iterNext(&options)) {
        api->iterRecurse(&options, &entry);
        const std::string key = Text(&entry);
        api->iterNext(&entry);
        const std::string value = Text(&entry);
        log << key << "=" << value << "\n";
        if (key == "handle_token")
            token = value;
    }
    log.flush();

    std::string sender = api->messageGetSender(call);
    sender.erase(0, 1);
    for (char& c : sender)
        if (c == '.')
            c = '_';
    const std::string path = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
    DBusMessage* reply = api->messageNewMethodReturn(call);
    DBusMessageIter args;
    api->iterInitAppend(reply, &args);
    const char* handle = path.c_str();
    api->iterAppendBasic(&args, dbus::kObjectPath, &handle);
    api->connectionSend(bus, reply, nullptr);
    api->messageUnref(reply);

    DBusMessage* signal =
        api->messageNewSignal(path.c_str(), "org.freedesktop.portal.Request", "Response");
    api->iterInitAppend(signal, &args);
    const std::uint32_t response = mode.rfind("uri:", 0) == 0 ? 0 : mode == "cancel" ? 1 : 2;
    api->iterAppendBasic(&args, dbus::kUint32, &response);
    DBusMessageIter results, item, variant, uris;
    api->iterOpenContainer(&args, dbus::kArray, "{sv}", &results);
    if (response == 0) {
        const std::string uri = mode.substr(4);
        const char* key = "uris";
        const char* value = uri.c_str();
        api->iterOpenContainer(&results, dbus::kDictEntry, nullptr, &item);
        api->iterAppendBasic(&item, dbus::kString, &key);
        api->iterOpenContainer(&item, dbus::kVariant, "as", &variant);
        api->iterOpenContainer(&variant, dbus::kArray, "s", &uris);
        api->iterAppendBasic(&uris, dbus::kString, &value);
        api->iterCloseContainer(&variant, &uris);
        api->iterCloseContainer(&item, &variant);
        api->iterCloseContainer(&results, &item);
    }
    api->iterCloseContainer(&args, &results);
    api->connectionSend(bus, signal, nullptr);
    api->messageUnref(signal);
    api->connectionFlush(bus);
}

} // namespace

} // namespace halvane

using namespace halvane;

int main(int argc, char** argv) {
    api = DBus();
    if (argc != 3 || !api)
        return 2;
    std::ofstream log(argv[1], std::ios::app);
    const std::string mode = argv[2];
    DBusError error;
    api->errorInit(&error);
    DBusConnection* bus = api->busGetPrivate(dbus::kSessionBus, &error);
    if (!bus)
        return 3;
    api->connectionSetExitOnDisconnect(bus, 0);
    if (api->busRequestName(bus, "org.freedesktop.portal.Desktop", dbus::kNameDoNotQueue, &error) !=
        dbus::kPrimaryOwner)
        return 4;
    std::printf("ready\n");
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < end && api->connectionReadWrite(bus, 100)) {
        while (DBusMessage* message = api->connectionPopMessage(bus)) {
            const char* interface = api->messageGetInterface(message);
            if (api->messageGetType(message) == dbus::kMethodCall && interface &&
                std::string(interface) == "org.freedesktop.portal.FileChooser") {
                if (mode == "refuse") {
                    log << "method=" << api->messageGetMember(message) << "\n" << std::flush;
                    DBusMessage* refusal = api->messageNewError(
                        message, "org.freedesktop.DBus.Error.UnknownMethod", "no file chooser");
                    api->connectionSend(bus, refusal, nullptr);
                    api->messageUnref(refusal);
                    api->connectionFlush(bus);
                } else {
                    Answer(bus, message, mode, log);
                }
            }
            api->messageUnref(message);
        }
    }
    api->connectionClose(bus);
    api->connectionUnref(bus);
    return 0;
}
