#include "request_head.h"

#include <cctype>
#include <cstring>

namespace {

constexpr int kBadRequest = 400;
constexpr int kTooLarge = 413;
constexpr int kNotImplemented = 501;
constexpr int kBadVersion = 505;

// RFC 9110 token characters.
bool isTokenChar(char c) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool isToken(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!isTokenChar(c)) return false;
    }
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return v;
}

// The request line: METHOD SP target SP HTTP/d.d; 0 or a refusal status.
int checkRequestLine(std::string_view line, RequestHead& head, size_t lineAt) {
    size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos) return kBadRequest;
    size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos) return kBadRequest;
    std::string_view method = line.substr(0, sp1);
    std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string_view version = line.substr(sp2 + 1);
    if (!isToken(method) || target.empty()) return kBadRequest;
    for (char c : target) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return kBadRequest;
    }
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.' ||
        std::isdigit(static_cast<unsigned char>(version[5])) == 0 ||
        std::isdigit(static_cast<unsigned char>(version[7])) == 0) {
        return kBadRequest;
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return kBadVersion;
    head.post = method == "POST";
    head.targetAt = head.pathAt = lineAt + sp1 + 1;
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (target.size() < scheme.size() || !equalsNoCase(target.substr(0, scheme.size()), scheme))
            continue;
        size_t slash = target.find('/', scheme.size());
        // "http://host" alone names the root; the path then is the "/" the intake puts back.
        head.pathAt = head.targetAt + (slash == std::string_view::npos ? target.size() : slash);
        break;
    }
    return 0;
}

// Plain decimal digits; a value past 64 bits counts as above any bound.
bool parseLength(std::string_view text, uint64_t& out, bool& huge) {
    if (text.empty()) return false;
    uint64_t n = 0;
    huge = false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        if (n > (UINT64_MAX - 9) / 10) huge = true;
        if (!huge) n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    out = n;
    return true;
}

// The first `sid` in a Cookie field's "name=value; name=value" list, or empty.
std::string_view findSid(std::string_view value) {
    while (!value.empty()) {
        size_t end = value.find(';');
        std::string_view pair = trimmed(value.substr(0, end));
        if (pair.substr(0, 4) == "sid=") return pair.substr(4);
        if (end == std::string_view::npos) break;
        value.remove_prefix(end + 1);
    }
    return {};
}

// One header field line; 0 or a refusal status.
int checkField(std::string_view line, RequestHead& head, bool& sawLength, uint64_t maxBody) {
    size_t colon = line.find(':');
    // Covers a line without a colon, a blank before it and a folded continuation line.
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) return kBadRequest;
    std::string_view name = line.substr(0, colon);
    std::string_view value = trimmed(line.substr(colon + 1));
    if (equalsNoCase(name, "content-length")) {
        bool huge = false;
        if (sawLength || !parseLength(value, head.bodyBytes, huge)) return kBadRequest;
        sawLength = true;
        if (huge || head.bodyBytes > maxBody) return kTooLarge;
    } else if (equalsNoCase(name, "transfer-encoding")) {
        return kNotImplemented;
    } else if (equalsNoCase(name, "cookie") && head.sid.empty()) {
        head.sid = findSid(value);
    }
    return 0;
}

}  // namespace

RequestHead scanRequestHead(std::string_view received, uint64_t maxBody) {
    RequestHead head;
    size_t at = 0;
    bool first = true;
    bool skippedEmpty = false;
    bool sawLength = false;
    int deferred = 0;  // a 413 waits for the rest of the head, which may still be malformed
    while (at < received.size()) {
        size_t nl = received.find('\n', at);
        size_t lineEnd = nl == std::string_view::npos ? received.size() : nl;
        std::string_view line = received.substr(at, lineEnd - at);
        // A CR is only ever the first half of a line end; a NUL is never in a head.
        size_t cr = line.find('\r');
        bool crlf =
            nl != std::string_view::npos && cr != std::string_view::npos && cr == line.size() - 1;
        if ((cr != std::string_view::npos && !crlf && cr + 1 < line.size()) ||
            line.find('\0') != std::string_view::npos) {
            head.status = kBadRequest;
            return head;
        }
        if (nl == std::string_view::npos) break;
        if (crlf) line.remove_suffix(1);
        size_t lineAt = at;
        at = nl + 1;
        if (line.empty()) {
            if (first && !skippedEmpty) {
                skippedEmpty = true;
                continue;
            }
            head.complete = true;
            head.headBytes = at;
            break;
        }
        int status = first ? checkRequestLine(line, head, lineAt)
                           : checkField(line, head, sawLength, maxBody);
        first = false;
        if (status == kTooLarge) {
            deferred = status;
        } else if (status != 0) {
            head.status = status;
            return head;
        }
    }
    if (!head.complete) return head;
    if (first) {
        head.status = kBadRequest;  // empty lines only
        return head;
    }
    head.status = deferred;
    if (deferred == 0) head.requestBytes = head.headBytes + head.bodyBytes;
    return head;
}
