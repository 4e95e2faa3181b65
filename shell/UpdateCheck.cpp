// The online services of the option menu: the update check against the
// maker's web site and the visit to its home page.
#include <cstdlib>
#include <new>
#include <string>

#include "platform/HttpClient.h"
#include "platform/Text.h"
#include "shell/MakerWebSite.h"
#include "shell/Synth.h"

namespace halvane {

namespace {

const char kProduct[] = "Halvane";
const char kOwnVersion[] = "1.1.4";
// Replies carry four digits ABCD for version A.B.CD; from this one on they are newer.
constexpr int32_t kFirstNewerVersion = 1105;

const char kCaption[] = "Check Online for Update";

// The query goes to the maker's host unless the environment names another
// ("name" or "name:port"; a port that does not read as one keeps port 80).
HttpGetRequest VersionQuery() {
    HttpGetRequest request;
    request.host = maker::kWebHost;
    request.path = maker::kVersionQuery;
    request.agent = kProduct;
    request.accept = "*/*";
    const char* other = std::getenv(maker::kUpdateHostVariable);
    if (other && *other) {
        std::string host = other;
        const std::size_t colon = host.rfind(':');
        if (colon != std::string::npos && host.find(':') == colon) {
            const int32_t port = ParseInteger(host.c_str() + colon + 1);
            if (port > 0 && port < 65536)
                request.port = port;
            host.resize(colon);
        }
        request.host = host;
    }
    return request;
}

// "1105" reads 1.1.5, "1114" 1.1.14, "1200" 1.2.0: the first two characters,
// then the rest without a leading zero; whatever follows the digits stays.
std::string VersionText(const std::string& reply) {
    std::string text;
    text += reply[0];
    text += '.';
    text += reply[1];
    text += '.';
    text += reply.substr(reply[2] == '0' ? 3 : 2);
    return text;
}

} // namespace

int Synth::CheckForUpdate() {
    using Kind = ShellDialogs::BoxKind;
    // Made before anything can fail, without allocating, so it can always be told.
    char failed[128];
    FormatText(failed, sizeof(failed), "An error occurred while contacting %s.",
               maker::kWebSiteName);
    try {
        std::string reply;
        HttpGet(VersionQuery(), reply);
        // The reply is text: a stray zero byte ends it.
        reply.resize(std::char_traits<char>::length(reply.c_str()));
        if (reply.empty()) {
            Ask(failed, kCaption, Kind::kErrorOk);
            return -1;
        }
        // An error page of the web server rather than an answer.
        if (reply.find('<') != std::string::npos) {
            const std::string invalid = std::string("Invalid call to ") + maker::kWebSiteName + ".";
            Ask(invalid.c_str(), kCaption, Kind::kErrorOk);
            return -3;
        }
        if (ParseInteger(reply.c_str()) < kFirstNewerVersion) {
            Ask("Your version is up to date.", kCaption, Kind::kInfoOk);
            return 0;
        }
        // A number this high has four digits at least, so the characters the
        // version text is made of are there.
        const std::string caption = std::string("New Version of ") + kProduct + " Detected";
        const std::string text =
            std::string("A new version of ") + kProduct + " is available.\n\n" +
            "\tYour version: \t" + kOwnVersion + "\n" + "\tNew version: \t" + VersionText(reply) +
            "\n" + "\nDo you want to go to " + maker::kWebAddress + " to get the new version?";
        if (Ask(text.c_str(), caption.c_str(), Kind::kYesNo) != ShellDialogs::BoxAnswer::kNo &&
            dialogs_)
            dialogs_->OpenUrl(maker::kDownloadPage, nullptr, nullptr, nullptr);
        return 0;
    } catch (...) {
        try {
            Ask(failed, kCaption, Kind::kErrorOk);
        } catch (...) {
            // Nothing more can be told; the host must never see the exception.
        }
        return -2;
    }
}

void Synth::VisitWebSite() {
    if (dialogs_)
        dialogs_->OpenUrl(maker::kHomePage, nullptr, nullptr, nullptr);
}

} // namespace halvane
