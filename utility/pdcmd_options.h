#pragma once

// The options of --pdcmd: one action per run, plus the modifiers of the security and sanitize
// actions.

#include <cstdint>

// Long-only actions.
constexpr int kOverwritePasses = 200;
constexpr int kSanitizeStatus = 201;
constexpr int kSanitizeFreezeLock = 202;
constexpr int kSanitizeAntifreezeLock = 203;
constexpr int kSanitizeBlockErase = 204;
constexpr int kSanitizeCryptoScramble = 205;
constexpr int kSanitizeOverwrite = 206;

struct PdOptions {
    int action = 0;
    const char* value = nullptr;  // the action's argument
    bool master = false;          // -m
    bool maximum = false;         // -M
    uint64_t overwritePasses = 1;
    bool passesGiven = false;  // --overwrite-passes
};

// False with the reason printed: an unknown option, a missing value, two actions, no action, a
// bad pass count.
bool readPdOptions(int argc, char** argv, PdOptions& options);

// The security, sanitize and microcode actions.
int pdSecurityAction(uint32_t disk, const PdOptions& options, const char* location);
