#include "graphics/x11/X11Portal.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "graphics/x11/X11DBus.h"

namespace halvane {

namespace x11 {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kRequest = "org.freedesktop.portal.Request";
// Asking the bus whether a portal is there: a stuck bus must not stall the host.
constexpr int kProbeTimeoutMs = 1000;
// The portal answers the call at once and shows its dialog afterwards; it may
// first have to be started by the bus.
constexpr long long kCallTimeoutMs = 25000;
constexpr int kPollMs = 40;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// libdbus ends the process on a string that is not UTF-8 (overlong forms and
// surrogates included); program names from old banks are Latin-1.
bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t extra = c < 0x80             ? 0
                                  : (c & 0xE0) == 0xC0 ? 1
                                  : (c & 0xF0) == 0xE0 ? 2
                                  : (c & 0xF8) == 0xF0 ? 3
                                                       : 4;
        if (extra == 4 || i + extra >= text.size())
            return false;
        std::uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string Utf8(const std::string& text) {
    if (ValidUtf8(text))
        return text;
    std::string out;
    for (const char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        if (u == 0)
            continue;
        if (u < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

class Session {
public:
    explicit Session(const DBusApi& api) : api_(api) {
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        // Without an address libdbus would try to start a bus of its own.
        if (!address || !*address)
            return;
        // The address is read on every call: libdbus's own session connection
        // keeps the first address it saw for the life of the process.
        DBusError error;
        api_.errorInit(&error);
        connection_ = api_.connectionOpenPrivate(address, &error);
        if (connection_) {
            // The library's default would end the host's process when the bus goes.
            api_.connectionSetExitOnDisconnect(connection_, 0);
        }
        api_.errorFree(&error);
    }
    ~Session() {
        if (connection_) {
            api_.connectionClose(connection_);
            api_.connectionUnref(connection_);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    DBusConnection* get() const { return connection_; }
    // Our name on the bus, given when we greet it (libdbus's own greeting
    // would wait for a stuck bus as long as it takes).
    std::string name;

private:
    const DBusApi& api_;
    DBusConnection* connection_ = nullptr;
};

class Message {
public:
    Message(const DBusApi& api, DBusMessage* message) : api_(api), message_(message) {}
    ~Message() {
        if (message_)
            api_.messageUnref(message_);
    }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    DBusMessage* get() const { return message_; }

private:
    const DBusApi& api_;
    DBusMessage* message_;
};

void AppendString(const DBusApi& api, DBusMessageIter* to, const std::string& text) {
    const std::string valid = Utf8(text);
    const char* value = valid.c_str();
    api.iterAppendBasic(to, dbus::kString, &value);
}

// One entry of an a{sv} dictionary; the value is written into value.
class Entry {
public:
    Entry(const DBusApi& api, DBusMessageIter* dict, const char* key, const char* signature)
        : api_(api), dict_(dict) {
        api.iterOpenContainer(dict, dbus::kDictEntry, nullptr, &entry_);
        api.iterAppendBasic(&entry_, dbus::kString, &key);
        api.iterOpenContainer(&entry_, dbus::kVariant, signature, &value);
    }
    ~Entry() {
        api_.iterCloseContainer(&entry_, &value);
        api_.iterCloseContainer(dict_, &entry_);
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    DBusMessageIter value;

private:
    const DBusApi& api_;
    DBusMessageIter* dict_;
    DBusMessageIter entry_;
};

void AppendBytes(const DBusApi& api, DBusMessageIter* to, const std::string& text) {
    DBusMessageIter bytes;
    api.iterOpenContainer(to, dbus::kArray, "y", &bytes);
    for (std::size_t i = 0; i <= text.size(); ++i) { // with the closing NUL
        const auto byte = static_cast<unsigned char>(i < text.size() ? text[i] : 0);
        api.iterAppendBasic(&bytes, dbus::kByte, &byte);
    }
    api.iterCloseContainer(to, &bytes);
}

// One filter offering the extensions as file patterns, named as the patterns read.
void AppendFilters(const DBusApi& api, DBusMessageIter* to, const std::string& extensions) {
    std::vector<std::string> patterns;
    std::istringstream words(extensions);
    std::string word, name;
    while (words >> word) {
        patterns.push_back("*." + word);
        name += (name.empty() ? "" : " ") + patterns.back();
    }
    DBusMessageIter filters, filter, list, pattern;
    api.iterOpenContainer(to, dbus::kArray, "(sa(us))", &filters);
    api.iterOpenContainer(&filters, dbus::kStruct, nullptr, &filter);
    AppendString(api, &filter, name);
    api.iterOpenContainer(&filter, dbus::kArray, "(us)", &list);
    for (const std::string& glob : patterns) {
        const std::uint32_t kind = 0; // a glob, not a MIME type
        api.iterOpenContainer(&list, dbus::kStruct, nullptr, &pattern);
        api.iterAppendBasic(&pattern, dbus::kUint32, &kind);
        AppendString(api, &pattern, glob);
        api.iterCloseContainer(&list, &pattern);
    }
    api.iterCloseContainer(&filter, &list);
    api.iterCloseContainer(&filters, &filter);
    api.iterCloseContainer(to, &filters);
}

// Calls a method of the bus itself that takes one name.
DBusMessage* AskBus(const DBusApi& api, DBusConnection* connection, const char* method,
                    const char* name) {
    Message call(api, api.messageNewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                               "org.freedesktop.DBus", method));
    if (!call.get())
        return nullptr;
    if (name) {
        DBusMessageIter args;
        api.iterInitAppend(call.get(), &args);
        api.iterAppendBasic(&args, dbus::kString, &name);
    }
    DBusError error;
    api.errorInit(&error);
    DBusMessage* reply =
        api.connectionSendWithReplyAndBlock(connection, call.get(), kProbeTimeoutMs, &error);
    api.errorFree(&error);
    return reply;
}

// The first call on a bus connection, which gives our name. libdbus waits
// for the bus to let us in without any time limit before it sends the first
// call, so that part is done here with one.
bool Greet(const DBusApi& api, DBusConnection* connection, std::string& name) {
    const long long until = NowMs() + kProbeTimeoutMs;
    while (!api.connectionGetIsAuthenticated(connection))
        if (NowMs() > until || !api.connectionReadWrite(connection, 20))
            return false;
    Message reply(api, AskBus(api, connection, "Hello", nullptr));
    DBusMessageIter it;
    const char* given = nullptr;
    if (!reply.get() || !api.iterInit(reply.get(), &it) || api.iterGetArgType(&it) != dbus::kString)
        return false;
    api.iterGetBasic(&it, &given);
    name = given ? given : "";
    return !name.empty();
}

// Whether the portal runs, or the bus would start it when called.
bool PortalAnswers(const DBusApi& api, DBusConnection* connection) {
    {
        Message reply(api, AskBus(api, connection, "NameHasOwner", kPortal));
        DBusMessageIter it;
        std::uint32_t owned = 0;
        if (reply.get() && api.iterInit(reply.get(), &it) &&
            api.iterGetArgType(&it) == dbus::kBoolean)
            api.iterGetBasic(&it, &owned);
        if (owned)
            return true;
    }
    Message reply(api, AskBus(api, connection, "ListActivatableNames", nullptr));
    DBusMessageIter it, names;
    if (!reply.get() || !api.iterInit(reply.get(), &it) || api.iterGetArgType(&it) != dbus::kArray)
        return false;
    api.iterRecurse(&it, &names);
    for (; api.iterGetArgType(&names) == dbus::kString; api.iterNext(&names)) {
        const char* name = nullptr;
        api.iterGetBasic(&names, &name);
        if (name && std::string(name) == kPortal)
            return true;
    }
    return false;
}

DBusMessage* FileChooserCall(const DBusApi& api, const PortalFileRequest& request,
                             const std::string& token) {
    DBusMessage* call =
        api.messageNewMethodCall(kPortal, kPortalPath, "org.freedesktop.portal.FileChooser",
                                 request.save ? "SaveFile" : "OpenFile");
    if (!call)
        return nullptr;
    char parent[32] = "";
    if (request.parentWindow)
        std::snprintf(parent, sizeof(parent), "x11:%lx", request.parentWindow);
    DBusMessageIter args, options;
    api.iterInitAppend(call, &args);
    AppendString(api, &args, parent);
    AppendString(api, &args, request.title);
    api.iterOpenContainer(&args, dbus::kArray, "{sv}", &options);
    {
        Entry entry(api, &options, "handle_token", "s");
        AppendString(api, &entry.value, token);
    }
    {
        Entry entry(api, &options, "modal", "b");
        const std::uint32_t yes = 1;
        api.iterAppendBasic(&entry.value, dbus::kBoolean, &yes);
    }
    if (request.extensions.find_first_not_of(' ') != std::string::npos) {
        Entry entry(api, &options, "filters", "a(sa(us))");
        AppendFilters(api, &entry.value, request.extensions);
    }
    if (request.save && !request.name.empty()) {
        Entry entry(api, &options, "current_name", "s");
        AppendString(api, &entry.value, request.name);
    }
    if (!request.folder.empty()) {
        Entry entry(api, &options, "current_folder", "ay");
        AppendBytes(api, &entry.value, request.folder);
    }
    api.iterCloseContainer(&args, &options);
    return call;
}

// The first of the "uris" in the results of a Response.
std::string FirstUri(const DBusApi& api, DBusMessageIter* results) {
    DBusMessageIter entries, entry, value, uris;
    if (api.iterGetArgType(results) != dbus::kArray)
        return "";
    api.iterRecurse(results, &entries);
    for (; api.iterGetArgType(&entries) == dbus::kDictEntry; api.iterNext(&entries)) {
        api.iterRecurse(&entries, &entry);
        const char* key = nullptr;
        if (api.iterGetArgType(&entry) != dbus::kString)
            continue;
        api.iterGetBasic(&entry, &key);
        if (!key || std::string(key) != "uris" || !api.iterNext(&entry) ||
            api.iterGetArgType(&entry) != dbus::kVariant)
            continue;
        api.iterRecurse(&entry, &value);
        if (api.iterGetArgType(&value) != dbus::kArray)
            continue;
        api.iterRecurse(&value, &uris);
        if (api.iterGetArgType(&uris) != dbus::kString)
            continue;
        const char* uri = nullptr;
        api.iterGetBasic(&uris, &uri);
        return uri ? uri : "";
    }
    return "";
}

bool Is(const char* text, const std::string& wanted) {
    return text && wanted == text;
}

} // namespace

std::string PathOfFileUri(const std::string& uri) {
    const std::string scheme = "file://";
    if (uri.compare(0, scheme.size(), scheme) != 0)
        return "";
    // A host part other than empty or localhost names another machine.
    const std::size_t slash = uri.find('/', scheme.size());
    const std::string host = uri.substr(scheme.size(), slash - scheme.size());
    if (slash == std::string::npos || (!host.empty() && host != "localhost"))
        return "";
    std::string path;
    for (std::size_t i = slash; i < uri.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            path += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

PortalAnswer PortalFileDialog(const PortalFileRequest& request,
                              const std::function<void()>& whileWaiting, std::string& path) {
    path.clear();
    const DBusApi* loaded = DBus();
    if (!loaded)
        return PortalAnswer::kUnavailable;
    const DBusApi& api = *loaded;
    Session session(api);
    DBusConnection* connection = session.get();
    if (!connection || !Greet(api, connection, session.name) || !PortalAnswers(api, connection))
        return PortalAnswer::kUnavailable;

    // The answer comes as a signal on a request object whose path the portal
    // derives from our name and the token; older portals choose it themselves
    // and say it in the reply, so both are accepted.
    static unsigned counter = 0;
    const std::string token = "halvane" + std::to_string(++counter);
    std::string sender = session.name;
    if (!sender.empty() && sender[0] == ':')
        sender.erase(0, 1);
    for (char& c : sender)
        if (c == '.')
            c = '_';
    const std::string expected = std::string(kPortalPath) + "/request/" + sender + "/" + token;
    std::string announced = expected;
    // Without an error to fill in, the rules go out with the call and no
    // answer is waited for.
    api.busAddMatch(connection,
                    "type='signal',interface='org.freedesktop.portal.Request',member='Response'",
                    nullptr);
    // A portal that goes away while its dialog is open would never answer.
    api.busAddMatch(connection,
                    "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                    "arg0='org.freedesktop.portal.Desktop'",
                    nullptr);

    Message call(api, FileChooserCall(api, request, token));
    std::uint32_t serial = 0;
    if (!call.get() || !api.connectionSend(connection, call.get(), &serial))
        return PortalAnswer::kUnavailable;
    api.connectionFlush(connection);
    bool replied = false;
    const long long sent = NowMs();
    for (;;) {
        if (!api.connectionReadWrite(connection, kPollMs))
            return replied ? PortalAnswer::kCancelled : PortalAnswer::kUnavailable;
        while (DBusMessage* popped = api.connectionPopMessage(connection)) {
            Message message(api, popped);
            const int type = api.messageGetType(popped);
            DBusMessageIter it;
            if (!replied && (type == dbus::kMethodReturn || type == dbus::kError) &&
                api.messageGetReplySerial(popped) == serial) {
                // An error here is a portal without a file chooser, or one that refused.
                if (type == dbus::kError)
                    return PortalAnswer::kUnavailable;
                replied = true;
                const char* handle = nullptr;
                if (api.iterInit(popped, &it) && api.iterGetArgType(&it) == dbus::kObjectPath) {
                    api.iterGetBasic(&it, &handle);
                    announced = handle ? handle : expected;
                }
            } else if (type == dbus::kSignal && Is(api.messageGetInterface(popped), kRequest) &&
                       Is(api.messageGetMember(popped), "Response") &&
                       (Is(api.messageGetPath(popped), expected) ||
                        Is(api.messageGetPath(popped), announced))) {
                std::uint32_t response = 2;
                if (api.iterInit(popped, &it) && api.iterGetArgType(&it) == dbus::kUint32)
                    api.iterGetBasic(&it, &response);
                // 1 is Cancel; GTK's portal answers 2 when its dialog is closed
                // with Escape or by the window manager: no choice either way,
                // and another dialog must not follow.
                if (response != 0)
                    return PortalAnswer::kCancelled;
                api.iterNext(&it);
                path = PathOfFileUri(FirstUri(api, &it));
                return path.empty() ? PortalAnswer::kCancelled : PortalAnswer::kChosen;
            } else if (type == dbus::kSignal &&
                       Is(api.messageGetMember(popped), "NameOwnerChanged")) {
                const char* name = nullptr;
                const char* owner = nullptr;
                if (api.iterInit(popped, &it) && api.iterGetArgType(&it) == dbus::kString) {
                    api.iterGetBasic(&it, &name);
                    api.iterNext(&it);
                    api.iterNext(&it);
                    if (api.iterGetArgType(&it) == dbus::kString)
                        api.iterGetBasic(&it, &owner);
                }
                // Gone before it took the call, the next choice asks; gone
                // with its dialog open, there is no answer.
                if (Is(name, kPortal) && owner && !*owner)
                    return replied ? PortalAnswer::kCancelled : PortalAnswer::kUnavailable;
            }
        }
        if (!replied && NowMs() - sent > kCallTimeoutMs)
            return PortalAnswer::kUnavailable;
        if (whileWaiting)
            whileWaiting();
    }
}

} // namespace x11

} // namespace halvane
