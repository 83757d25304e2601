#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vaxo {

// Where alarms are delivered: webhooks (an HTTP POST of JSON each) and one
// mail server with its recipients.
struct AlertMail {
    std::string server;  // smtps://host[:465] (TLS), smtp://host[:587] (STARTTLS required)
    std::string from;
    std::vector<std::string> to;
    std::string user;      // empty: no authentication
    std::string password;  // read from the password file
};

struct AlertConfig {
    std::vector<std::string> webhooks;
    std::optional<AlertMail> mail;

    bool Empty() const { return webhooks.empty() && !mail; }
};

// Why a webhook URL will not do, or nothing: http:// or https:// with a
// host, no spaces or control characters, no user name or password in it.
std::optional<std::string> WhyNoWebhook(const std::string& url);
// Why a mail server URL will not do: smtps://HOST[:PORT], or smtp://HOST[:PORT]
// (STARTTLS is then required, but for a server on this machine).
std::optional<std::string> WhyNoMailServer(const std::string& url);
// Why a mail address will not do: local@domain, printable, no spaces or
// angle brackets (it goes into the message's header and the SMTP envelope).
std::optional<std::string> WhyNoMailAddress(const std::string& address);
// Whether the URL's host is this machine (localhost, 127.0.0.0/8, ::1).
bool UrlHostIsLoopback(const std::string& url);

}  // namespace vaxo
