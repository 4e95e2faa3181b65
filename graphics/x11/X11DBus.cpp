#include "graphics/x11/X11DBus.h"

#include <dlfcn.h>

namespace halvane {

namespace x11 {

namespace {

template <typename Fn> bool Bind(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    return fn != nullptr;
}

bool BindAll(void* l, DBusApi& a) {
    return Bind(l, "dbus_error_init", a.errorInit) && Bind(l, "dbus_error_free", a.errorFree) &&
           Bind(l, "dbus_bus_get_private", a.busGetPrivate) &&
           Bind(l, "dbus_connection_open_private", a.connectionOpenPrivate) &&
           Bind(l, "dbus_bus_add_match", a.busAddMatch) &&
           Bind(l, "dbus_bus_request_name", a.busRequestName) &&
           Bind(l, "dbus_connection_set_exit_on_disconnect", a.connectionSetExitOnDisconnect) &&
           Bind(l, "dbus_connection_close", a.connectionClose) &&
           Bind(l, "dbus_connection_unref", a.connectionUnref) &&
           Bind(l, "dbus_connection_get_is_connected", a.connectionGetIsConnected) &&
           Bind(l, "dbus_connection_get_is_authenticated", a.connectionGetIsAuthenticated) &&
           Bind(l, "dbus_connection_send_with_reply_and_block",
                a.connectionSendWithReplyAndBlock) &&
           Bind(l, "dbus_connection_send", a.connectionSend) &&
           Bind(l, "dbus_connection_flush", a.connectionFlush) &&
           Bind(l, "dbus_connection_read_write", a.connectionReadWrite) &&
           Bind(l, "dbus_connection_pop_message", a.connectionPopMessage) &&
           Bind(l, "dbus_message_new_method_call", a.messageNewMethodCall) &&
           Bind(l, "dbus_message_new_method_return", a.messageNewMethodReturn) &&
           Bind(l, "dbus_message_new_error", a.messageNewError) &&
           Bind(l, "dbus_message_new_signal", a.messageNewSignal) &&
           Bind(l, "dbus_message_unref", a.messageUnref) &&
           Bind(l, "dbus_message_get_type", a.messageGetType) &&
           Bind(l, "dbus_message_get_reply_serial", a.messageGetReplySerial) &&
           Bind(l, "dbus_message_get_path", a.messageGetPath) &&
           Bind(l, "dbus_message_get_interface", a.messageGetInterface) &&
           Bind(l, "dbus_message_get_member", a.messageGetMember) &&
           Bind(l, "dbus_message_get_sender", a.messageGetSender) &&
           Bind(l, "dbus_message_iter_init_append", a.iterInitAppend) &&
           Bind(l, "dbus_message_iter_append_basic", a.iterAppendBasic) &&
           Bind(l, "dbus_message_iter_open_container", a.iterOpenContainer) &&
           Bind(l, "dbus_message_iter_close_container", a.iterCloseContainer) &&
           Bind(l, "dbus_message_iter_init", a.iterInit) &&
           Bind(l, "dbus_message_iter_get_arg_type", a.iterGetArgType) &&
           Bind(l, "dbus_message_iter_get_basic", a.iterGetBasic) &&
           Bind(l, "dbus_message_iter_next", a.iterNext) &&
           Bind(l, "dbus_message_iter_recurse", a.iterRecurse);
}

} // namespace

const DBusApi* DBus() {
    static const DBusApi* const api = []() -> const DBusApi* {
        // Local, lazy binding as for the HTTP library: a host with its own
        // copy shares the loaded library but never sees our references.
        void* library = dlopen("libdbus-1.so.3", RTLD_LOCAL | RTLD_LAZY);
        if (!library)
            return nullptr;
        static DBusApi bound{};
        return BindAll(library, bound) ? &bound : nullptr;
    }();
    return api;
}

} // namespace x11

} // namespace halvane
