#include "smart_profile.h"
#include "smart_rows.h"

namespace {
constexpr const char* kUnknownAttribute = "Unknown Attribute";
}  // namespace

constinit const SmartProfile* const smartProfiles[kSmartProfileCount] = {
    &smartProfile0,  &smartProfile1,  &smartProfile2,  &smartProfile3,  &smartProfile4,
    &smartProfile5,  &smartProfile6,  &smartProfile7,  &smartProfile8,  &smartProfile9,
    &smartProfile10, &smartProfile11, &smartProfile12, &smartProfile13, &smartProfile14,
    &smartProfile15, &smartProfile16, &smartProfile17, &smartProfile18, &smartProfile19,
    &smartProfile20, &smartProfile21, &smartProfile22, &smartProfile23, &smartProfile24,
    &smartProfile25, &smartProfile26, &smartProfile27, &smartProfile28, &smartProfile29,
    &smartProfile30, &smartProfile31, &smartProfile32, &smartProfile33, &smartProfile34,
    &smartProfile35, &smartProfile36, &smartProfile37, &smartProfile38, &smartProfile39,
    &smartProfile40, &smartProfile41, &smartProfile42, &smartProfile43, &smartProfile44,
    &smartProfile45, &smartProfile46, &smartProfile47,
};

constinit const SmartProfile smartDefaultProfile = {0, nullptr, nullptr};

const SmartProfile* findSmartProfile(const ARK_DISK_INFO& disk, const uint8_t* page) {
    for (const SmartProfile* profile : smartProfiles) {
        if (profile->match != nullptr && profile->match(disk, page)) return profile;
    }
    return &smartDefaultProfile;
}

const char* smartAttributeName(uint8_t id, const SmartProfile* profile) {
    if (profile == nullptr) return kUnknownAttribute;
    for (uint32_t i = 0; i < profile->count; ++i) {
        if (profile->entries[i].id == id) return profile->entries[i].name;
    }
    return kUnknownAttribute;
}
