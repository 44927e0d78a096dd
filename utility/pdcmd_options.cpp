#include "pdcmd_options.h"

#include <cstdio>

#include "numbers.h"
#include "option_parser.h"

namespace {

const LongOption kPdOptions[] = {
    {"info", kNoArgument, nullptr, 'i'},
    {"locate", kRequiredArgument, nullptr, 'l'},
    {"read-ahead", kRequiredArgument, nullptr, 'r'},
    {"write-cache", kRequiredArgument, nullptr, 'w'},
    {"ncq", kRequiredArgument, nullptr, 'q'},
    {"smart", kRequiredArgument, nullptr, 's'},
    {"smartstatus", kNoArgument, nullptr, 't'},
    {"smartvalues", kNoArgument, nullptr, 'v'},
    {"fwdownload", kRequiredArgument, nullptr, 'f'},
    {"use-master", kNoArgument, nullptr, 'm'},
    {"mode-maximum", kNoArgument, nullptr, 'M'},
    {"setpass", kRequiredArgument, nullptr, 'p'},
    {"unlock", kRequiredArgument, nullptr, 'u'},
    {"security-disable", kRequiredArgument, nullptr, 'd'},
    {"security-erase", kRequiredArgument, nullptr, 'e'},
    {"security-erase-enhanced", kRequiredArgument, nullptr, 'E'},
    {"overwrite-passes", kRequiredArgument, nullptr, kOverwritePasses},
    {"sanitize-status", kNoArgument, nullptr, kSanitizeStatus},
    {"sanitize-freeze-lock", kNoArgument, nullptr, kSanitizeFreezeLock},
    {"sanitize-antifreeze-lock", kNoArgument, nullptr, kSanitizeAntifreezeLock},
    {"sanitize-block-erase", kNoArgument, nullptr, kSanitizeBlockErase},
    {"sanitize-crypto-scramble", kNoArgument, nullptr, kSanitizeCryptoScramble},
    {"sanitize-overwrite", kRequiredArgument, nullptr, kSanitizeOverwrite},
    {nullptr, 0, nullptr, 0},
};

bool isSecurityAction(int action) {
    return action == 'p' || action == 'u' || action == 'd' || action == 'e' || action == 'E';
}

// A modifier given with an action it does not belong to is refused, not ignored.
bool modifiersFit(const PdOptions& o) {
    if (o.maximum && o.action != 'p') {
        std::printf("-M goes with -p only\n");
        return false;
    }
    if (o.master && !isSecurityAction(o.action)) {
        std::printf("-m goes with the security commands only\n");
        return false;
    }
    if (o.passesGiven && o.action != kSanitizeOverwrite) {
        std::printf("--overwrite-passes goes with --sanitize-overwrite only\n");
        return false;
    }
    return true;
}

}  // namespace

bool readPdOptions(int argc, char** argv, PdOptions& options) {
    for (;;) {
        const int option = getoptLong(argc, argv, "Bil:r:w:q:s:tvf:mMp:u:d:e:E:", kPdOptions);
        switch (option) {
            case -1:
                if (options.action == 0) {
                    std::printf("give one disk action; see arkutil -H pdcmd\n");
                    return false;
                }
                return modifiersFit(options);
            case 'm':
                options.master = true;
                continue;
            case 'M':
                options.maximum = true;
                continue;
            case kOverwritePasses:
                if (!parseDecimal(g_optArg, 1, 16, options.overwritePasses)) {
                    std::printf("invalid pass count (1 to 16)\n");
                    return false;
                }
                options.passesGiven = true;
                continue;
            case ':':
                std::printf("option needs a value\n");
                return false;
            case '?':
            case 'B':
                std::printf("invalid option\n");
                return false;
            default:
                if (options.action != 0) {
                    std::printf("give one disk action per run\n");
                    return false;
                }
                options.action = option;
                options.value = g_optArg;
        }
    }
}
