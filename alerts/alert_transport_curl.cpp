// Webhooks and mail through libcurl: every transfer bounded in time, no
// redirect followed, only the protocols asked for.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "alerts/alert_transport.h"
#include "base/product.h"

namespace vaxo {
namespace {

constexpr long kConnectSeconds = 10;
constexpr long kTransferSeconds = 20;
constexpr std::size_t kAnswerKept = 512;

struct Easy {
    CURL* handle = curl_easy_init();
    curl_slist* list = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    Easy() = default;
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;
    ~Easy() {
        curl_slist_free_all(list);
        curl_easy_cleanup(handle);
    }
};

std::size_t KeepLittle(char* data, std::size_t size, std::size_t count, void* kept) {
    auto& answer = *static_cast<std::string*>(kept);
    answer.append(data, std::min(size * count, kAnswerKept - std::min(answer.size(), kAnswerKept)));
    return size * count;
}

struct Upload {
    std::string_view rest;
};

std::size_t ReadUpload(char* buffer, std::size_t size, std::size_t count, void* upload) {
    auto& data = *static_cast<Upload*>(upload);
    const std::size_t part = std::min(size * count, data.rest.size());
    std::memcpy(buffer, data.rest.data(), part);
    data.rest.remove_prefix(part);
    return part;
}

void Bound(Easy& easy) {
    curl_easy_setopt(easy.handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.handle, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(easy.handle, CURLOPT_TIMEOUT, kTransferSeconds);
    curl_easy_setopt(easy.handle, CURLOPT_ERRORBUFFER, easy.error);
}

std::string Why(const Easy& easy, CURLcode code) {
    return easy.error[0] != '\0' ? std::string(easy.error) : curl_easy_strerror(code);
}

class CurlTransport : public AlertTransport {
  public:
    explicit CurlTransport(AlertConfig config) : config_(std::move(config)) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;
    ~CurlTransport() override { curl_global_cleanup(); }

    std::optional<AlertFailure> Deliver(const Alert& alert, std::size_t target) override {
        if (target < config_.webhooks.size()) {
            return Post(config_.webhooks[target], alert);
        }
        return Mail(*config_.mail, alert);
    }

  private:
    std::optional<AlertFailure> Post(const std::string& url, const Alert& alert) {
        Easy easy;
        if (!easy.handle) {
            return AlertFailure{"libcurl could not start a transfer"};
        }
        const std::string body =
            AlertJson(alert).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        const std::string agent = std::string("User-Agent: vaxoctl/") + kProductVersion;
        easy.list = curl_slist_append(easy.list, "Content-Type: application/json");
        easy.list = curl_slist_append(easy.list, agent.c_str());
        std::string answer;
        Bound(easy);
        curl_easy_setopt(easy.handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy.handle, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy.handle, CURLOPT_HTTPHEADER, easy.list);
        curl_easy_setopt(easy.handle, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(easy.handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(easy.handle, CURLOPT_WRITEFUNCTION, KeepLittle);
        curl_easy_setopt(easy.handle, CURLOPT_WRITEDATA, &answer);
        const CURLcode code = curl_easy_perform(easy.handle);
        if (code != CURLE_OK) {
            return AlertFailure{Why(easy, code)};
        }
        long status = 0;
        curl_easy_getinfo(easy.handle, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && status < 300) {
            return std::nullopt;
        }
        // A request the server will never take is not repeated for a day.
        const bool permanent = status >= 400 && status < 500 && status != 408 && status != 429;
        return AlertFailure{"the server answered " + std::to_string(status), permanent};
    }

    std::optional<AlertFailure> Mail(const AlertMail& mail, const Alert& alert) {
        Easy easy;
        if (!easy.handle) {
            return AlertFailure{"libcurl could not start a transfer"};
        }
        const std::string message = AlertMailText(alert, mail.from, mail.to, ++serial_);
        Upload upload{message};
        const std::string from = "<" + mail.from + ">";
        for (const std::string& address : mail.to) {
            easy.list = curl_slist_append(easy.list, ("<" + address + ">").c_str());
        }
        Bound(easy);
        curl_easy_setopt(easy.handle, CURLOPT_URL, mail.server.c_str());
        curl_easy_setopt(easy.handle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        // Plain SMTP only to a server on this machine; anywhere else
        // STARTTLS, or the mail is not sent.
        curl_easy_setopt(easy.handle, CURLOPT_USE_SSL,
                         UrlHostIsLoopback(mail.server) ? static_cast<long>(CURLUSESSL_TRY)
                                                        : static_cast<long>(CURLUSESSL_ALL));
        if (!mail.user.empty()) {
            curl_easy_setopt(easy.handle, CURLOPT_USERNAME, mail.user.c_str());
            curl_easy_setopt(easy.handle, CURLOPT_PASSWORD, mail.password.c_str());
        }
        curl_easy_setopt(easy.handle, CURLOPT_MAIL_FROM, from.c_str());
        curl_easy_setopt(easy.handle, CURLOPT_MAIL_RCPT, easy.list);
        curl_easy_setopt(easy.handle, CURLOPT_READFUNCTION, ReadUpload);
        curl_easy_setopt(easy.handle, CURLOPT_READDATA, &upload);
        curl_easy_setopt(easy.handle, CURLOPT_UPLOAD, 1L);
        const CURLcode code = curl_easy_perform(easy.handle);
        if (code == CURLE_OK) {
            return std::nullopt;
        }
        const bool permanent = code == CURLE_LOGIN_DENIED || code == CURLE_USE_SSL_FAILED ||
                               code == CURLE_UNSUPPORTED_PROTOCOL;
        return AlertFailure{Why(easy, code), permanent};
    }

    AlertConfig config_;
    std::uint64_t serial_ = 0;
};

}  // namespace

bool AlertsBuiltIn() {
    return true;
}

std::unique_ptr<AlertTransport> MakeCurlTransport(const AlertConfig& config) {
    return std::make_unique<CurlTransport>(config);
}

}  // namespace vaxo
