#include "platform/HttpClient.h"

#include <windows.h>
#include <wininet.h>

#include <new>

namespace halvane {

namespace {

// Closes every WinINet handle on every way out.
struct NetHandle {
    HINTERNET h = nullptr;
    NetHandle() = default;
    NetHandle(const NetHandle&) = delete;
    NetHandle& operator=(const NetHandle&) = delete;
    ~NetHandle() {
        if (h)
            InternetCloseHandle(h);
    }
};

void SetTimeout(HINTERNET h, DWORD option, long ms) {
    DWORD value = ms > 0 ? static_cast<DWORD>(ms) : 1;
    InternetSetOptionA(h, option, &value, sizeof value);
}

// Set on every handle, not only the session: not every WinINet passes the
// session's time-outs on to the requests made under it, and a request without
// them waits for a silent server's headers for ever.
void SetTimeouts(HINTERNET h, const HttpGetRequest& request) {
    SetTimeout(h, INTERNET_OPTION_CONNECT_TIMEOUT, request.connectTimeoutMs);
    // No single wait may outlast the whole exchange; the read loop checks the rest.
    SetTimeout(h, INTERNET_OPTION_SEND_TIMEOUT, request.totalTimeoutMs);
    SetTimeout(h, INTERNET_OPTION_RECEIVE_TIMEOUT, request.totalTimeoutMs);
}

} // namespace

bool HttpGet(const HttpGetRequest& request, std::string& body) {
    body.clear();
    const ULONGLONG started = GetTickCount64();
    const auto timeLeft = [&] {
        return static_cast<long long>(request.totalTimeoutMs) -
               static_cast<long long>(GetTickCount64() - started);
    };

    // Direct: never through a proxy, whatever the system's settings say.
    NetHandle session;
    session.h =
        InternetOpenA(request.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session.h)
        return false;
    SetTimeouts(session.h, request);

    NetHandle connection;
    connection.h =
        InternetConnectA(session.h, request.host.c_str(), static_cast<INTERNET_PORT>(request.port),
                         nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection.h)
        return false;
    SetTimeouts(connection.h, request);

    // Nothing cached, no cookies, no dialogs; a site that moved to https is
    // still followed, as a browser would follow it.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    const std::string path = "/" + request.path;
    NetHandle transfer;
    transfer.h =
        HttpOpenRequestA(connection.h, "GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (!transfer.h)
        return false;
    SetTimeouts(transfer.h, request);
    const std::string headers = "Accept: " + request.accept + "\r\n";
    if (!HttpSendRequestA(transfer.h, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr,
                          0))
        return false;

    char chunk[4096];
    for (;;) {
        if (timeLeft() <= 0) {
            body.clear(); // half a reply is no reply
            return false;
        }
        DWORD got = 0;
        if (!InternetReadFile(transfer.h, chunk, sizeof chunk, &got)) {
            body.clear();
            return false;
        }
        if (got == 0)
            return true;
        const std::size_t room = request.maxBytes - body.size();
        if (got >= room) {
            body.append(chunk, room);
            return true;
        }
        body.append(chunk, got);
    }
}

} // namespace halvane
