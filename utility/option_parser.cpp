#include "option_parser.h"

#include <cstring>

int g_optIndex = 1;
char* g_optArg = nullptr;
int g_optChar = 0;
int g_optReset = 0;

namespace {

// The next character of the short-option cluster in progress, or null.
char* g_clusterPos = nullptr;

int shortOption(int argc, char* const* argv, const char* shortopts) {
    const char c = *g_clusterPos++;
    g_optChar = static_cast<unsigned char>(c);
    const bool clusterDone = *g_clusterPos == '\0';
    const char* declared = c == ':' ? nullptr : std::strchr(shortopts, c);
    if (declared == nullptr) {
        if (clusterDone) {
            ++g_optIndex;
            g_clusterPos = nullptr;
        }
        return '?';
    }
    if (declared[1] != ':') {
        g_optArg = nullptr;
        if (clusterDone) {
            ++g_optIndex;
            g_clusterPos = nullptr;
        }
        return c;
    }
    // The rest of the cluster is the argument, else the next argument is.
    if (!clusterDone) {
        g_optArg = g_clusterPos;
        ++g_optIndex;
    } else if (g_optIndex + 1 < argc) {
        g_optArg = argv[g_optIndex + 1];
        g_optIndex += 2;
    } else {
        ++g_optIndex;
        g_clusterPos = nullptr;
        return ':';
    }
    g_clusterPos = nullptr;
    return c;
}

int longOption(int argc, char* const* argv, const LongOption* longopts) {
    char* name = argv[g_optIndex++] + 2;
    char* equals = std::strchr(name, '=');
    const size_t length = equals ? static_cast<size_t>(equals - name) : std::strlen(name);
    if (length == 0) return -1;
    if (longopts == nullptr) return '?';

    const LongOption* found = nullptr;
    for (const LongOption* row = longopts; row->name != nullptr; ++row) {
        if (std::strncmp(row->name, name, length) != 0) continue;
        if (std::strlen(row->name) == length) {
            found = row;
            break;
        }
        if (found == nullptr) found = row;
    }
    if (found == nullptr) return '?';
    g_optChar = found->val;

    if (found->has_arg == kRequiredArgument || found->has_arg == kOptionalArgument) {
        if (equals != nullptr) {
            g_optArg = equals + 1;
        } else if (g_optIndex < argc) {
            g_optArg = argv[g_optIndex++];
        } else {
            g_optArg = nullptr;
            if (found->has_arg == kRequiredArgument) return ':';
        }
    }
    if (found->flag != nullptr) {
        *found->flag = found->val;
        return 0;
    }
    return found->val;
}

}  // namespace

int getoptLong(int argc, char* const* argv, const char* shortopts, const LongOption* longopts) {
    if (shortopts == nullptr) shortopts = "";
    if (!g_optReset && g_clusterPos != nullptr && *g_clusterPos != '\0')
        return shortOption(argc, argv, shortopts);

    g_optReset = 0;
    g_clusterPos = nullptr;
    if (g_optIndex < 1) g_optIndex = 1;
    if (g_optIndex >= argc || argv[g_optIndex] == nullptr) return -1;
    char* arg = argv[g_optIndex];
    if (arg[0] != '-' || arg[1] == '\0') return -1;
    if (arg[1] == '-') {
        if (arg[2] == '\0') {
            ++g_optIndex;
            return -1;
        }
        return longOption(argc, argv, longopts);
    }
    g_clusterPos = arg + 1;
    return shortOption(argc, argv, shortopts);
}

void resetOptionParser() {
    g_optIndex = 1;
    g_optArg = nullptr;
    g_optChar = 0;
    g_optReset = 1;
    g_clusterPos = nullptr;
}
