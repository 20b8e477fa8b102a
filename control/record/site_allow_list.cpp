#include "control/record/site_allow_list.h"

#include <cctype>

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int DefaultPort(const std::string& scheme) {
    if (scheme == "http") return 80;
    if (scheme == "https") return 443;
    return 0;
}

bool ParsePort(const std::string& text, int* port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    *port = value;
    return true;
}

bool IsSeparator(char c) { return c == ';' || c == ',' || std::isspace(static_cast<unsigned char>(c)); }

}  // namespace

bool ParseOrigin(const std::string& url, SiteOrigin* origin) {
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0) return false;
    SiteOrigin o;
    o.scheme = Lower(url.substr(0, schemeEnd));
    for (char c : o.scheme)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    const size_t start = schemeEnd + 3;
    const size_t end = url.find_first_of("/?#\\", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // User information never names the site: "http://allowed.example@other.example/" is other.example.
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) authority = authority.substr(at + 1);
    std::string port;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        o.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') return false;
            port = authority.substr(close + 2);
        }
    } else {
        const size_t colon = authority.find(':');
        o.host = authority.substr(0, colon);
        if (colon != std::string::npos) port = authority.substr(colon + 1);
    }
    o.host = Lower(o.host);
    if (!o.host.empty() && o.host.back() == '.') o.host.pop_back();  // "example." is "example"
    if (o.host.empty()) return false;
    if (port.empty()) {
        o.port = DefaultPort(o.scheme);
        if (o.port == 0) return false;
    } else if (!ParsePort(port, &o.port)) {
        return false;
    }
    *origin = o;
    return true;
}

bool SiteAllowed(const std::string& allowList, const std::string& pageUrl) {
    SiteOrigin page;
    if (!ParseOrigin(pageUrl, &page)) return false;
    size_t i = 0;
    while (i < allowList.size()) {
        while (i < allowList.size() && IsSeparator(allowList[i])) ++i;
        size_t j = i;
        while (j < allowList.size() && !IsSeparator(allowList[j])) ++j;
        SiteOrigin entry;
        if (j > i && ParseOrigin(allowList.substr(i, j - i), &entry) && entry.scheme == page.scheme &&
            entry.host == page.host && entry.port == page.port)
            return true;
        i = j;
    }
    return false;
}
