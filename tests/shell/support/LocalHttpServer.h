#pragma once
// A one-thread HTTP server on 127.0.0.1 for the tests of the update check and
// of the HTTP client under it (on Linux and, through Winsock, on Windows): it
// answers every connection with the same bytes and closes it, or sends them
// and then holds the connection open without a word more.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halvane {

namespace shelltest {

// The few socket calls that differ between Winsock and POSIX.
#ifdef _WIN32
using SocketFd = SOCKET;
inline bool SocketsReady() {
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}
inline void CloseSocket(SocketFd fd) {
    closesocket(fd);
}
inline int PollOne(SocketFd fd, int ms) {
    WSAPOLLFD p{fd, POLLRDNORM, 0};
    return WSAPoll(&p, 1, ms);
}
inline long SendSome(SocketFd fd, const char* data, std::size_t size) {
    return send(fd, data, static_cast<int>(size), 0);
}
#else
using SocketFd = int;
inline bool SocketsReady() {
    return true;
}
inline void CloseSocket(SocketFd fd) {
    close(fd);
}
inline int PollOne(SocketFd fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms);
}
inline long SendSome(SocketFd fd, const char* data, std::size_t size) {
    return static_cast<long>(send(fd, data, size, MSG_NOSIGNAL));
}
#endif

// A whole HTTP response: status line, headers and body.
inline std::string HttpResponse(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

inline SocketFd LocalSocket(int port, sockaddr_in& address) {
    SocketsReady();
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return socket(AF_INET, SOCK_STREAM, 0);
}

inline int BoundPort(SocketFd fd) {
    sockaddr_in bound{};
    socklen_t size = sizeof(bound);
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    return ntohs(bound.sin_port);
}

// A local port nobody listens on: connections to it are refused.
inline int ClosedPort() {
    sockaddr_in address;
    const SocketFd fd = LocalSocket(0, address);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    const int port = BoundPort(fd);
    CloseSocket(fd);
    return port;
}

class LocalHttpServer {
public:
    enum class Mode { kAnswer, kSilent };

    explicit LocalHttpServer(std::string response, Mode mode = Mode::kAnswer)
        : response_(std::move(response)), mode_(mode) {
        sockaddr_in address;
        listener_ = LocalSocket(0, address);
        const int on = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof(on));
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener_, 4);
        port_ = BoundPort(listener_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalHttpServer() {
        stop_ = true;
        thread_.join();
        CloseSocket(listener_);
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    // The requests received so far, headers as sent.
    std::vector<std::string> Requests() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return requests_;
    }

private:
    // Waits for fd to become readable, looking at the stop flag now and then.
    bool WaitReadable(SocketFd fd) {
        while (!stop_) {
            if (PollOne(fd, 50) > 0)
                return true;
        }
        return false;
    }

    void Serve() {
        while (WaitReadable(listener_)) {
            const SocketFd client = accept(listener_, nullptr, nullptr);
#ifdef _WIN32
            if (client == INVALID_SOCKET)
                continue;
#else
            if (client < 0)
                continue;
#endif
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(client)) {
                const auto n = recv(client, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            {
                std::lock_guard<std::mutex> hold(mutex_);
                requests_.push_back(request);
            }
            std::size_t sent = 0;
            while (sent < response_.size()) {
                const long n = SendSome(client, response_.data() + sent, response_.size() - sent);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            while (mode_ == Mode::kSilent && !stop_)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            CloseSocket(client);
        }
    }

    std::string response_;
    Mode mode_;
    SocketFd listener_{};
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

} // namespace shelltest

} // namespace halvane
