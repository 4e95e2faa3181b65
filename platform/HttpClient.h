#pragma once
// A plain HTTP GET for the instrument's online services, made on the caller's
// thread. The Linux build goes through libcurl, opened at run time on first use
// (platform/linux/HttpClient.cpp), so the plug-in neither needs it to load nor
// puts its names into the host's process; the Windows build uses WinINet.

#include <cstddef>
#include <string>

namespace halvane {

struct HttpGetRequest {
    std::string host; // a name or an address
    int port = 80;
    std::string path;   // what follows the host's "/", query included
    std::string agent;  // User-Agent
    std::string accept; // the one accepted media type
    // A silent server must not hang the user's session: the connection must
    // stand within connectTimeoutMs and the whole exchange end within totalTimeoutMs.
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 10000;
    // The reply is cut after this many bytes.
    std::size_t maxBytes = 64 * 1024;
};

// Sends the request directly to the host (never through a proxy, whatever the
// environment says), follows up to five redirections, and fills body with the reply's body,
// whatever its status: an error page is a reply too. True when a reply came back whole, or its
// first maxBytes did. False, with body empty, when there was no reply: no HTTP library, no
// connection, a time-out or a transfer broken off. Throws std::bad_alloc when memory runs out.
bool HttpGet(const HttpGetRequest& request, std::string& body);

} // namespace halvane
