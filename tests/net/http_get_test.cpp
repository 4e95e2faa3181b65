// The HTTP client under the update check, against a local server: libcurl on
// Linux, WinINet on Windows (this test runs under wine there), so both clients
// are held to the same replies, redirections and failures.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/HttpClient.h"
#include "shell/support/LocalHttpServer.h"

namespace halvane {

using shelltest::ClosedPort;
using shelltest::HttpResponse;
using shelltest::LocalHttpServer;

namespace {

HttpGetRequest RequestTo(int port, const std::string& path) {
    HttpGetRequest request;
    request.host = "127.0.0.1";
    request.port = port;
    request.path = path;
    request.agent = "Halvane";
    request.accept = "*/*";
    request.connectTimeoutMs = 2000;
    request.totalTimeoutMs = 4000;
    return request;
}

} // namespace

TEST(HttpGet, ReturnsTheBodyOfEveryReplyAndSendsOneAcceptedType) {
    {
        LocalHttpServer server(HttpResponse("1105"));
        std::string body = "left over";
        ASSERT_TRUE(HttpGet(RequestTo(server.Port(), "music/version/?file=halvane"), body));
        EXPECT_EQ(body, "1105");
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        const std::string& r = requests[0];
        EXPECT_EQ(r.rfind("GET /music/version/?file=halvane HTTP/1.", 0), 0u) << r;
        EXPECT_NE(r.find("\r\nUser-Agent: Halvane\r\n"), std::string::npos) << r;
        EXPECT_NE(r.find("\r\nAccept: */*\r\n"), std::string::npos) << r;
        EXPECT_EQ(r.find("Accept:"), r.rfind("Accept:")) << r;
    }
    {
        // An error page is a reply too: the caller reads what it says.
        LocalHttpServer server(HttpResponse("no such file", "404 Not Found"));
        std::string body;
        EXPECT_TRUE(HttpGet(RequestTo(server.Port(), "missing"), body));
        EXPECT_EQ(body, "no such file");
    }
    {
        // A long reply is cut at the limit, and still counts as a reply.
        LocalHttpServer server(HttpResponse(std::string(20000, 'x') + "tail"));
        HttpGetRequest request = RequestTo(server.Port(), "long");
        request.maxBytes = 100;
        std::string body;
        EXPECT_TRUE(HttpGet(request, body));
        EXPECT_EQ(body, std::string(100, 'x'));
    }
}

TEST(HttpGet, FollowsARedirection) {
    LocalHttpServer target(HttpResponse("moved here"));
    LocalHttpServer first(
        "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(target.Port()) +
        "/new/place\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    std::string body;
    ASSERT_TRUE(HttpGet(RequestTo(first.Port(), "old/place"), body));
    EXPECT_EQ(body, "moved here");
    const auto requests = target.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /new/place HTTP/1.", 0), 0u) << requests[0];
}

TEST(HttpGet, NoReplyIsFalseWithAnEmptyBodyAndDoesNotHang) {
    std::string body = "left over";
    EXPECT_FALSE(HttpGet(RequestTo(ClosedPort(), "x"), body)) << "nobody listens";
    EXPECT_TRUE(body.empty());

    // A server that takes the request and never answers: the time-out ends
    // the wait (the user's session must not hang on a dead web site).
    LocalHttpServer silent("", LocalHttpServer::Mode::kSilent);
    HttpGetRequest request = RequestTo(silent.Port(), "x");
    request.totalTimeoutMs = 800;
    body = "left over";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpGet(request, body));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(body.empty());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 8000);
}

} // namespace halvane
