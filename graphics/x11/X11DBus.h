#pragma once
// The few entry points of libdbus-1 the desktop portal needs, bound by name
// at run time. The plug-in must load on machines without libdbus, and a host
// that uses another copy of it must not see our references, so nothing of it
// is linked in; its development headers are not needed either: the types are
// declared here as the library's published ABI lays them out.

#include <cstdint>

extern "C" {
struct DBusConnection;
struct DBusMessage;
// The library's iterator is 72 bytes on 64-bit machines; the room here is
// larger, which the library never notices.
struct DBusMessageIter {
    void* space[16];
};
struct DBusError {
    const char* name;
    const char* message;
    unsigned bits;
    void* padding[3];
};
}

namespace halvane {

namespace x11 {

namespace dbus {
constexpr int kSessionBus = 0;
constexpr int kMethodCall = 1, kMethodReturn = 2, kError = 3, kSignal = 4;
constexpr int kInvalid = 0, kByte = 'y', kBoolean = 'b', kUint32 = 'u', kString = 's',
              kObjectPath = 'o', kArray = 'a', kVariant = 'v', kStruct = 'r', kDictEntry = 'e';
constexpr int kNameReplaceExisting = 2, kNameDoNotQueue = 4, kPrimaryOwner = 1;
} // namespace dbus

struct DBusApi {
    void (*errorInit)(DBusError*);
    void (*errorFree)(DBusError*);
    DBusConnection* (*busGetPrivate)(int type, DBusError*);
    DBusConnection* (*connectionOpenPrivate)(const char* address, DBusError*);
    void (*busAddMatch)(DBusConnection*, const char* rule, DBusError*);
    int (*busRequestName)(DBusConnection*, const char* name, unsigned flags, DBusError*);
    void (*connectionSetExitOnDisconnect)(DBusConnection*, unsigned exit);
    void (*connectionClose)(DBusConnection*);
    void (*connectionUnref)(DBusConnection*);
    unsigned (*connectionGetIsConnected)(DBusConnection*);
    unsigned (*connectionGetIsAuthenticated)(DBusConnection*);
    DBusMessage* (*connectionSendWithReplyAndBlock)(DBusConnection*, DBusMessage*, int timeoutMs,
                                                    DBusError*);
    unsigned (*connectionSend)(DBusConnection*, DBusMessage*, std::uint32_t* serial);
    void (*connectionFlush)(DBusConnection*);
    unsigned (*connectionReadWrite)(DBusConnection*, int timeoutMs);
    DBusMessage* (*connectionPopMessage)(DBusConnection*);
    DBusMessage* (*messageNewMethodCall)(const char* destination, const char* path,
                                         const char* interface, const char* method);
    DBusMessage* (*messageNewMethodReturn)(DBusMessage* call);
    DBusMessage* (*messageNewError)(DBusMessage* call, const char* name, const char* text);
    DBusMessage* (*messageNewSignal)(const char* path, const char* interface, const char* name);
    void (*messageUnref)(DBusMessage*);
    int (*messageGetType)(DBusMessage*);
    std::uint32_t (*messageGetReplySerial)(DBusMessage*);
    const char* (*messageGetPath)(DBusMessage*);
    const char* (*messageGetInterface)(DBusMessage*);
    const char* (*messageGetMember)(DBusMessage*);
    const char* (*messageGetSender)(DBusMessage*);
    void (*iterInitAppend)(DBusMessage*, DBusMessageIter*);
    unsigned (*iterAppendBasic)(DBusMessageIter*, int type, const void* value);
    unsigned (*iterOpenContainer)(DBusMessageIter*, int type, const char* signature,
                                  DBusMessageIter* sub);
    unsigned (*iterCloseContainer)(DBusMessageIter*, DBusMessageIter* sub);
    unsigned (*iterInit)(DBusMessage*, DBusMessageIter*);
    int (*iterGetArgType)(DBusMessageIter*);
    void (*iterGetBasic)(DBusMessageIter*, void* value);
    unsigned (*iterNext)(DBusMessageIter*);
    void (*iterRecurse)(DBusMessageIter*, DBusMessageIter* sub);
};

// libdbus-1.so.3 opened once per process and never closed (the library keeps
// process-wide state); null when it or one of its entry points is missing.
const DBusApi* DBus();

} // namespace x11

} // namespace halvane
