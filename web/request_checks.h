#pragma once

#include <string>
#include <string_view>

#include "net/admission.h"

namespace vaxo {

// Whether a request's Host header may reach a listener. On a loopback
// listener it must name loopback ("localhost", a name under ".localhost",
// a loopback address) or the listener's own address, with any port: a page
// of another site whose name a DNS server turned into 127.0.0.1 (DNS
// rebinding) names itself, and is turned away. Beyond loopback any name
// will do (the station's own names are not known here); so does a request
// without the header (HTTP/1.0).
bool HostAllowed(std::string_view host, bool loopbackListener, std::string_view listenerHost);

// Whether a POST was sent by a page of another site. The browser's
// Sec-Fetch-Site says so where it is sent ("same-origin" only is ours);
// without it, an Origin header must name the host the request was sent to
// (RFC 6454; "null" is never ours). A request with neither came from no
// browser, and from no page.
bool CrossSitePost(std::string_view origin, std::string_view fetchSite, std::string_view host);

// The client's key for its fair share, from its address as the transport
// gives it ("192.0.2.7", "[2001:db8::1]"); an address that cannot be read
// is a key of its own kind (all zeros).
ClientKey ClientKeyOfText(std::string_view address);

}  // namespace vaxo
