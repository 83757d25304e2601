#include "web/certificate_ends.h"

#include "base/local_time.h"

namespace vaxo {

std::optional<std::string> CertificateEndsSoon(const std::string& path,
                                               std::chrono::system_clock::time_point ends,
                                               std::chrono::system_clock::time_point now) {
    if (ends - now > kCertificateWarning) {
        return std::nullopt;
    }
    const std::string text = "the web page's certificate " + path;
    if (ends <= now) {
        return text + " ended " + LocalStamp(ends) + ": browsers refuse the page";
    }
    const auto days = std::chrono::floor<std::chrono::days>(ends - now).count();
    return text + " ends " + LocalStamp(ends) + " (in " +
           (days == 0 ? std::string("less than a day")
                      : std::to_string(days) + (days == 1 ? " day" : " days")) +
           "): renew it and restart";
}

}  // namespace vaxo
