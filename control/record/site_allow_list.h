// The sites whose pages may script the control in a browser: an allow-list of
// origins (scheme, host, optional port) that the installer writes, matched
// against the URL of the page that hosts the control.
#pragma once

#include <string>

struct SiteOrigin {
    std::string scheme;  // lower case
    std::string host;    // lower case, without brackets or user information
    int port = 0;        // the given port, or the scheme's default (http 80, https 443)
};

// The origin of a URL or of an allow-list entry ("https://enrol.example:8443/
// page.html", "http://intranet"). False when it has no scheme and host, an
// unusable port, or a scheme without a default port and no port given.
bool ParseOrigin(const std::string& url, SiteOrigin* origin);

// True when the page's origin equals an entry of the list. Entries are
// separated by ';', ',' or blanks; malformed ones match nothing, and an empty
// list allows no page.
bool SiteAllowed(const std::string& allowList, const std::string& pageUrl);
