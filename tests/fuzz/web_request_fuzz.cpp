// Any bytes as a signed-in browser could send them to the web page: a path
// chosen by the first byte, the rest as the body (and, now and then, as the
// cookie or the token), and as the head's values the page checks before
// it reads a body. Every request is answered; nothing outside the
// program's folder is written.
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_program.h"
#include "web/html_text.h"
#include "web/password_hash.h"
#include "web/request_checks.h"
#include "web/station_files.h"
#include "web/web_app.h"

namespace {

using vaxo::WebRequest;
using vaxo::WebResponse;

struct SignedIn {
    SignedIn() {
        WebRequest signIn{"POST",
                          "/signin",
                          "",
                          "",
                          "application/x-www-form-urlencoded",
                          "password=fuzz-password",
                          "127.0.0.1",
                          false,
                          "",
                          "",
                          "",
                          ""};
        const WebResponse response = Ask(signIn).value();
        for (const auto& [name, value] : response.headers) {
            if (name == "Set-Cookie") {
                cookie = value.substr(0, value.find(';'));
            }
        }
        const WebResponse page =
            Ask({"GET", "/station", cookie, "", "", "", "127.0.0.1", false, "", "", "", ""})
                .value();
        std::smatch found;
        std::regex_search(page.body, found, std::regex("csrf-token\" content=\"([0-9a-f]+)"));
        token = found[1];
    }

    // A send answers when it has ended: the program's loop turns meanwhile.
    // One held for the budget of writes is left to answer later.
    std::optional<WebResponse> Ask(const WebRequest& request,
                                   std::chrono::milliseconds patience = std::chrono::minutes(1)) {
        const auto answer = std::make_shared<std::optional<WebResponse>>();
        app.Handle(request, [answer](WebResponse response) { *answer = std::move(response); });
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!*answer && std::chrono::steady_clock::now() < deadline) {
            io.restart();
            io.run_one_for(std::chrono::milliseconds(1));
            fuzz.host.RunPending();
        }
        fuzz.host.RunPending();
        return *answer;
    }

    vaxo::fuzz::FuzzProgram& fuzz = vaxo::fuzz::Program();
    boost::asio::io_context io;
    vaxo::WebApp app{
        io, fuzz.program, {vaxo::HashPassword("fuzz-password"), ""}, [](const std::string&) {}};
    std::filesystem::path startedIn = std::filesystem::current_path();
    std::string cookie;
    std::string token;
};

// Not /api/save: it reads no body, and would write the station file
// wherever the fuzzer runs.
const char* const kPaths[] = {"/api/fields", "/api/saveas", "/api/send",      "/api/load",
                              "/api/upload", "/api/state",  "/api/station",   "/api/stations",
                              "/api/schema", "/station",    "/assets/app.js", "/nowhere"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* session = new SignedIn;
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static_cast<void>(vaxo::FormField(bytes, "name"));
    static_cast<void>(vaxo::CookieValue(bytes, "vaxo_session"));
    static_cast<void>(vaxo::UploadProblem(bytes));
    // The head's checks, on any header values: a Host, an Origin, an address.
    const std::string_view half = bytes.substr(0, size / 2);
    const std::string_view rest = bytes.substr(size / 2);
    static_cast<void>(vaxo::HostAllowed(half, true, rest));
    static_cast<void>(vaxo::HostAllowed(rest, false, half));
    static_cast<void>(vaxo::CrossSitePost(half, rest, rest));
    static_cast<void>(vaxo::ClientKeyOfText(bytes));
    const vaxo::Screening screening = session->app.Screen(
        {"POST", std::string(half), session->cookie, "", "", "", std::string(rest), false,
         std::string(rest), std::string(half), std::string(rest), std::string(half)});
    if (screening.answer && (screening.answer->status < 200 || screening.answer->status > 599)) {
        __builtin_trap();
    }

    const auto choice = static_cast<unsigned char>(bytes[0]);
    const std::string path = kPaths[choice % std::size(kPaths)];
    std::string body(bytes.substr(1));
    std::string cookie = session->cookie;
    std::string token = session->token;
    if (choice & 0x80) {
        (choice & 0x40 ? cookie : token) = body.substr(0, 100);
    }
    const bool get = path.rfind("/api/", 0) != 0 || path == "/api/state" ||
                     path == "/api/station" || path == "/api/stations" || path == "/api/schema";
    const auto response =
        session->Ask({get ? "GET" : "POST", path, cookie, token,
                      choice & 0x20 ? "application/octet-stream" : "application/json", body,
                      "127.0.0.1", false, "", "", "", body.substr(0, 40)},
                     std::chrono::seconds(1));
    // A load or a save as enters the station's folder; the fuzzer's paths
    // are relative to where it was started.
    std::filesystem::current_path(session->startedIn);
    if (response && (response->status < 200 || response->status > 599)) {
        __builtin_trap();
    }
    return 0;
}
