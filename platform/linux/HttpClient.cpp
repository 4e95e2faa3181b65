#include "platform/HttpClient.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <new>

namespace halvane {

namespace {

// The few libcurl entry points the GET needs, bound by name. Only the header's
// types and constants are used at build time: nothing of libcurl is linked in.
struct CurlApi {
    CURLcode (*globalInit)(long flags) = nullptr;
    CURL* (*easyInit)() = nullptr;
    CURLcode (*setopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*perform)(CURL* handle) = nullptr;
    void (*easyCleanup)(CURL* handle) = nullptr;
    curl_slist* (*slistAppend)(curl_slist* list, const char* text) = nullptr;
    void (*slistFreeAll)(curl_slist* list) = nullptr;
    bool ready = false;
};

template <typename Fn> bool Bind(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    return fn != nullptr;
}

const CurlApi& Curl() {
    // Opened once per process and never closed: libcurl and the TLS library
    // under it keep process-wide state that must outlive any one instance, and
    // a host that uses the same libcurl shares it with us. Local binding keeps
    // its names out of the host's namespace, so a host built against another
    // libcurl is not disturbed; lazy binding resolves only what is called.
    static const CurlApi api = [] {
        CurlApi a;
        void* library = dlopen("libcurl.so.4", RTLD_LOCAL | RTLD_LAZY);
        if (!library)
            return a;
        const bool bound = Bind(library, "curl_global_init", a.globalInit) &&
                           Bind(library, "curl_easy_init", a.easyInit) &&
                           Bind(library, "curl_easy_setopt", a.setopt) &&
                           Bind(library, "curl_easy_perform", a.perform) &&
                           Bind(library, "curl_easy_cleanup", a.easyCleanup) &&
                           Bind(library, "curl_slist_append", a.slistAppend) &&
                           Bind(library, "curl_slist_free_all", a.slistFreeAll);
        // The global set-up is counted by libcurl, so a host that made its own
        // keeps it; it is never undone, since the host may still be using it.
        a.ready = bound && a.globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        return a;
    }();
    return api;
}

struct Sink {
    std::string* body;
    std::size_t maxBytes;
    bool full = false;
    bool outOfMemory = false;
};

// Nothing may be thrown through libcurl's C frames: failures are noted and
// the transfer is stopped by taking fewer bytes than offered.
extern "C" std::size_t TakeBytes(char* data, std::size_t size, std::size_t count, void* user) {
    Sink& sink = *static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    const std::size_t room = sink.maxBytes - sink.body->size();
    try {
        if (bytes > room) {
            sink.body->append(data, room);
            sink.full = true;
            return 0;
        }
        sink.body->append(data, bytes);
        return bytes;
    } catch (const std::bad_alloc&) {
        sink.outOfMemory = true;
        return 0;
    }
}

// Frees the handle and the header list on every way out.
struct Transfer {
    const CurlApi& api;
    CURL* handle = nullptr;
    curl_slist* headers = nullptr;
    ~Transfer() {
        if (headers)
            api.slistFreeAll(headers);
        if (handle)
            api.easyCleanup(handle);
    }
};

} // namespace

bool HttpGet(const HttpGetRequest& request, std::string& body) {
    body.clear();
    const CurlApi& api = Curl();
    if (!api.ready)
        return false;

    // An IPv6 address needs its brackets inside a URL.
    const bool bracket = request.host.find(':') != std::string::npos;
    const std::string url = "http://" + std::string(bracket ? "[" : "") + request.host +
                            (bracket ? "]" : "") + ":" + std::to_string(request.port) + "/" +
                            request.path;
    const std::string accept = "Accept: " + request.accept;

    Transfer transfer{api};
    transfer.handle = api.easyInit();
    if (!transfer.handle)
        return false;
    transfer.headers = api.slistAppend(nullptr, accept.c_str());
    if (!transfer.headers)
        throw std::bad_alloc();

    Sink sink{&body, request.maxBytes};
    CURL* h = transfer.handle;
    bool set = api.setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
    // An empty proxy text turns off every proxy, those named in the environment too.
    set = set && api.setopt(h, CURLOPT_PROXY, "") == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_USERAGENT, request.agent.c_str()) == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_HTTPHEADER, transfer.headers) == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs) == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs) == CURLE_OK;
    // Time-outs without signals: the host owns the process's signal handlers.
    set = set && api.setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    // A site that moved (to https, say) still answers, as a browser would find it.
    set = set && api.setopt(h, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_MAXREDIRS, 5L) == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_WRITEFUNCTION, &TakeBytes) == CURLE_OK;
    set = set && api.setopt(h, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
    if (!set)
        return false;

    const CURLcode result = api.perform(h);
    if (sink.outOfMemory) {
        body.clear();
        throw std::bad_alloc();
    }
    if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && sink.full))
        return true;
    // Half a reply is no reply.
    body.clear();
    return false;
}

} // namespace halvane
