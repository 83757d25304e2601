#include "web/http_types.h"

namespace vaxo {

WebResponse TextResponse(int status, std::string text) {
    return {status, "text/plain; charset=utf-8", std::move(text) + "\n"};
}

WebResponse JsonResponse(int status, std::string json) {
    return {status, "application/json", std::move(json)};
}

WebResponse Redirect(const std::string& location) {
    WebResponse response{303, "text/plain; charset=utf-8", ""};
    response.headers.emplace_back("Location", location);
    return response;
}

}  // namespace vaxo
