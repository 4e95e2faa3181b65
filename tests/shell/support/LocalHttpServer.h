#pragma once
// A one-thread HTTP server on 127.0.0.1 for the update check's tests: it
// answers every connection with the same bytes and closes it, or sends them
// and then holds the connection open without a word more.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace shelltest {

// A whole HTTP response: status line, headers and body.
inline std::string HttpResponse(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

inline int LocalSocket(int port, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return socket(AF_INET, SOCK_STREAM, 0);
}

inline int BoundPort(int fd) {
    sockaddr_in bound{};
    socklen_t size = sizeof(bound);
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    return ntohs(bound.sin_port);
}

// A local port nobody listens on: connections to it are refused.
inline int ClosedPort() {
    sockaddr_in address;
    const int fd = LocalSocket(0, address);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    const int port = BoundPort(fd);
    close(fd);
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
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener_, 4);
        port_ = BoundPort(listener_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalHttpServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
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
    bool WaitReadable(int fd) {
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0)
                return true;
        }
        return false;
    }

    void Serve() {
        while (WaitReadable(listener_)) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(client)) {
                const ssize_t n = recv(client, buffer, sizeof(buffer), 0);
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
                const ssize_t n =
                    send(client, response_.data() + sent, response_.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            while (mode_ == Mode::kSilent && !stop_)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            close(client);
        }
    }

    std::string response_;
    Mode mode_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

} // namespace shelltest
