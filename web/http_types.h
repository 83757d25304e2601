#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vaxo {

// A request as the pages and the API see it: the transport has already
// checked its size and form.
struct WebRequest {
    std::string method;  // GET or POST
    std::string path;    // without the query
    std::string cookie;  // the Cookie header
    std::string csrf;    // the X-CSRF-Token header
    std::string contentType;
    std::string body;
    std::string client;  // the peer's address
    bool tls = false;
    std::string host;       // the Host header
    std::string origin;     // the Origin header
    std::string fetchSite;  // the Sec-Fetch-Site header
    std::string fileName;   // an upload's own name: the X-File-Name header, percent-decoded
    // The station's revision the page had seen when its edit began: the
    // X-Seen-Revision header; empty when the change is to be applied anyway.
    std::string seenRevision = {};
};

struct WebResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers = {};  // Location, Set-Cookie ...
    bool cacheable = false;    // an asset: the same for everybody
    bool eventStream = false;  // the connection goes on as a stream of events
};

// What the transport does with a request once its head is read: answer at
// once, without reading a body, or read the body it may have.
struct Screening {
    enum class Body {
        None,        // a GET
        SignInForm,  // a password and little else
        Any,         // a signed-in session's call, up to the transport's limit
    };
    std::optional<WebResponse> answer;
    Body body = Body::None;
};

WebResponse TextResponse(int status, std::string text);
WebResponse JsonResponse(int status, std::string json);
WebResponse Redirect(const std::string& location);

}  // namespace vaxo
