// The pages and the files they load: each page is the frame with its part
// filled in, and the forms' limits come from the field schema.
#include <map>

#include "base/product.h"
#include "record/field_schema.h"
#include "web/api_json.h"
#include "web/embedded_files.h"
#include "web/html_text.h"
#include "web/web_app.h"
#include "web/web_paths.h"

namespace vaxo {
namespace {

const std::map<std::string, std::string, std::less<>> kPages{{"/onair", "On air"},
                                                             {"/station", "Station"},
                                                             {"/settings", "Settings"},
                                                             {"/log", "Log"},
                                                             {"/alarms", "Alarms"}};

std::string_view PageFile(std::string_view name) {
    const auto found = EmbeddedFiles().find(name);
    return found == EmbeddedFiles().end() ? std::string_view() : found->second;
}

std::string ContentType(std::string_view path) {
    if (path.ends_with(".css")) {
        return "text/css; charset=utf-8";
    }
    if (path.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    if (path.ends_with(".svg")) {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

// The forms' limits, from the field schema: "max-PS" 8, "min-DPSP" 7 ...
const std::map<std::string, std::string>& FieldLimits() {
    static const auto limits = [] {
        std::map<std::string, std::string> values;
        for (const StationField& field : AllFields()) {
            const FieldType& type = field.type;
            if (type.kind == FieldKind::Number) {
                values["min-" + std::string(field.key)] = std::to_string(type.low);
                values["max-" + std::string(field.key)] = std::to_string(type.high);
            } else if (type.limit > 0) {
                values["max-" + std::string(field.key)] = std::to_string(type.limit);
            }
        }
        return values;
    }();
    return limits;
}

}  // namespace

WebResponse WebApp::Get(const WebRequest& request, const WebSession& session) {
    const std::string& path = request.path;
    if (path == "/") {
        return Redirect("/onair");
    }
    if (kPages.contains(path)) {
        return Page(path.substr(1), session);
    }
    if (path == "/api/events") {
        WebResponse stream{200, "text/event-stream", ""};
        stream.eventStream = true;
        return stream;
    }
    if (auto answer = Read(path)) {
        return std::move(*answer);
    }
    return IsApi(path) ? ErrorResponse(404, "unknown", "no such call")
                       : TextResponse(404, "! no such page");
}

WebResponse WebApp::Page(const std::string& name, const WebSession& session) const {
    std::map<std::string, std::string> values{
        {"product", EscapeHtml(kProductFamily)},
        {"csrf", EscapeHtml(session.token)},
        {"role", session.role == WebRole::Operator ? "operator" : "viewer"},
        {"page", name},
        {"heading", EscapeHtml(kPages.at("/" + name))},
        {"content", FillTemplate(PageFile(name + ".html"), FieldLimits())},
        {"current-" + name, "aria-current=\"page\""}};
    return {200, "text/html; charset=utf-8", FillTemplate(PageFile("page.html"), values)};
}

WebResponse WebApp::Asset(const std::string& path) const {
    const std::string name = path.substr(std::string("/assets/").size());
    if (name.ends_with(".html") || PageFile(name).empty()) {
        return TextResponse(404, "! no such file");
    }
    WebResponse asset{200, ContentType(name), std::string(PageFile(name))};
    asset.cacheable = true;
    return asset;
}

}  // namespace vaxo
