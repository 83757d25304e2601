#pragma once

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
};

struct WebResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers = {};  // Location, Set-Cookie ...
    bool cacheable = false;    // an asset: the same for everybody
    bool eventStream = false;  // the connection goes on as a stream of events
};

WebResponse TextResponse(int status, std::string text);
WebResponse JsonResponse(int status, std::string json);
WebResponse Redirect(const std::string& location);

}  // namespace vaxo
