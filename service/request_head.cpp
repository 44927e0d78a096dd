#include "request_head.h"

#include <cctype>
#include <limits>

namespace {

bool startsWithName(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
    }
    return true;
}

std::string_view fieldValue(std::string_view line, size_t nameLength) {
    std::string_view v = line.substr(nameLength + 1);
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

// Digits only, no overflow; else false.
bool parseLength(std::string_view text, uint64_t& out) {
    if (text.empty()) return false;
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        if (n > (std::numeric_limits<uint64_t>::max() - 9) / 10) return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    out = n;
    return true;
}

}  // namespace

RequestHead scanRequestHead(std::string_view received) {
    RequestHead head;
    size_t end = std::string_view::npos;
    size_t endBytes = 0;
    for (size_t i = 0; i < received.size(); ++i) {
        if (received[i] != '\n') continue;
        if (i + 1 < received.size() && received[i + 1] == '\n') {
            end = i + 2;
            break;
        }
        if (i + 2 < received.size() && received[i + 1] == '\r' && received[i + 2] == '\n') {
            end = i + 3;
            break;
        }
    }
    if (end == std::string_view::npos) return head;
    endBytes = end;
    head.complete = true;
    head.headBytes = endBytes;

    uint64_t length = 0;
    int lengths = 0;
    bool unknown = false;
    std::string_view rest = received.substr(0, endBytes);
    // The request line comes first and names no field.
    size_t nl = rest.find('\n');
    rest.remove_prefix(nl + 1);
    while (!rest.empty()) {
        nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        if (startsWithName(line, "content-length")) {
            uint64_t n = 0;
            if (!parseLength(fieldValue(line, 14), n) || (lengths > 0 && n != length))
                unknown = true;
            length = n;
            ++lengths;
        } else if (startsWithName(line, "transfer-encoding")) {
            unknown = true;
        }
    }
    if (!unknown && length <= std::numeric_limits<uint64_t>::max() - endBytes) {
        head.requestBytes = endBytes + length;
    }
    return head;
}
