#include "smart_match.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

using Texts = std::initializer_list<std::string_view>;
using Ids = std::initializer_list<uint8_t>;

// The disk's text fields are fixed-size and need not end in a NUL.
std::string_view boundedText(const char* field, size_t size) {
    const void* nul = std::memchr(field, '\0', size);
    return {field, nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size};
}

std::string_view model(const ARK_DISK_INFO& disk) {
    return boundedText(disk.model, sizeof disk.model);
}

std::string_view firmware(const ARK_DISK_INFO& disk) {
    return boundedText(disk.fwrev, sizeof disk.fwrev);
}

bool isSsd(const ARK_DISK_INFO& disk) {
    return (disk.flags & ARK_DISK_SSD) != 0;
}

bool sameLetter(char a, char b) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return lower(a) == lower(b);
}

bool has(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

bool starts(std::string_view text, std::string_view what) {
    return text.starts_with(what);
}

// The first occurrence sits at position 1 or later.
bool afterStart(std::string_view text, std::string_view what) {
    size_t at = text.find(what);
    return at != std::string_view::npos && at >= 1;
}

bool hasAnyCase(std::string_view text, std::string_view what) {
    return std::search(text.begin(), text.end(), what.begin(), what.end(), sameLetter) !=
               text.end() ||
           what.empty();
}

bool startsAnyCase(std::string_view text, std::string_view what) {
    return text.size() >= what.size() &&
           std::equal(what.begin(), what.end(), text.begin(), sameLetter);
}

template <typename Test>
bool anyOf(std::string_view text, Texts whats, Test test) {
    return std::any_of(whats.begin(), whats.end(),
                       [&](std::string_view w) { return test(text, w); });
}

bool hasOne(std::string_view text, Texts whats) {
    return anyOf(text, whats, has);
}
bool startsOne(std::string_view text, Texts whats) {
    return anyOf(text, whats, starts);
}
bool hasOneAnyCase(std::string_view text, Texts whats) {
    return anyOf(text, whats, hasAnyCase);
}
bool startsOneAnyCase(std::string_view text, Texts whats) {
    return anyOf(text, whats, startsAnyCase);
}

// Attribute slot k's id is byte 2 + 12k of the page.
uint8_t slotId(const uint8_t* page, size_t slot) {
    return page[2 + 12 * slot];
}

// Slots 0, 1, ... hold exactly these ids; later slots are not looked at.
bool signature(const uint8_t* page, Ids ids) {
    if (page == nullptr) return false;
    size_t slot = 0;
    for (uint8_t id : ids) {
        if (slotId(page, slot++) != id) return false;
    }
    return true;
}

bool signatureOne(const uint8_t* page, std::initializer_list<Ids> candidates) {
    return std::any_of(candidates.begin(), candidates.end(),
                       [&](Ids ids) { return signature(page, ids); });
}

bool sandiskFamily(std::string_view m) {
    return hasOne(m, {"SanDisk", "SD Ultra", "SDLF1"});
}

bool profile10Model(std::string_view m) {
    return starts(m, "Seagate") || (starts(m, "ST") && !starts(m, "STT")) || starts(m, "ZA");
}

bool hasKingston(std::string_view m) {
    return has(m, "KINGSTON");
}

constexpr Ids kSignatureQ55 = {5, 9, 12, 164, 165, 166, 167};

}  // namespace

bool smartMatch0(const ARK_DISK_INFO& disk, const uint8_t*) {
    return !isSsd(disk);
}

bool smartMatch1(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return sandiskFamily(m) && afterStart(m, "1006") && afterStart(m, "8U");
}

bool smartMatch2(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return sandiskFamily(m) && afterStart(m, "1006");
}

bool smartMatch3(const ARK_DISK_INFO& disk, const uint8_t* page) {
    auto m = model(disk);
    if (!sandiskFamily(m)) return false;
    if ((has(m, "X600") && has(m, "2280")) || hasOne(m, {"X400", "X300", "X110", "SD5"}))
        return page != nullptr && (slotId(page, 2) == 175 || slotId(page, 3) == 175);
    return hasOne(m, {"Z400", "G1012", "Z400s 2.5"});
}

bool smartMatch4(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return sandiskFamily(m) && has(m, "G1001") &&
           (afterStart(m, "6S") || afterStart(m, "7S") || afterStart(m, "8U"));
}

bool smartMatch5(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return sandiskFamily(m) && has(m, "G1001");
}

bool smartMatch6(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return sandiskFamily(m) && hasOne(m, {"SDLF1CRR-", "SDLF1DAR-", "SDLF1CRM-", "SDLF1DAM-"});
}

bool smartMatch7(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return sandiskFamily(m) &&
           hasOne(m, {"SDSSDP", "SDSSDRC", "SSD U100", "SSD U110", "SSD i100", "SSD i110", "pSSD"});
}

bool smartMatch8(const ARK_DISK_INFO& disk, const uint8_t*) {
    return sandiskFamily(model(disk));
}

bool smartMatch9(const ARK_DISK_INFO& disk, const uint8_t*) {
    return startsOne(model(disk), {"WDC ", "WD "});
}

bool smartMatch10(const ARK_DISK_INFO& disk, const uint8_t*) {
    return profile10Model(model(disk));
}

bool smartMatch11(const ARK_DISK_INFO&, const uint8_t* page) {
    return signature(page, {1, 5, 9, 12, 100, 102, 103, 170, 171, 172, 173, 174, 177, 183, 187});
}

bool smartMatch12(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return profile10Model(m) && has(m, "BarraCuda");
}

bool smartMatch13(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return signature(page, {187, 0}) || starts(model(disk), "MTRON");
}

bool smartMatch14(const ARK_DISK_INFO& disk, const uint8_t*) {
    return hasAnyCase(model(disk), "TOSHIBA") && isSsd(disk);
}

bool smartMatch15(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return signature(page, {1, 2, 3, 5, 7, 8, 9, 10, 12, 167, 168, 169, 170, 173, 175}) ||
           starts(model(disk), "ADATA SU700");
}

bool smartMatch16(const ARK_DISK_INFO&, const uint8_t* page) {
    return signature(page, {1, 2, 3, 5, 7, 8, 9, 10, 12, 168, 175, 192, 194});
}

bool smartMatch17(const ARK_DISK_INFO&, const uint8_t* page) {
    return signature(page, {12, 9, 194, 229, 232, 233});
}

bool smartMatch18(const ARK_DISK_INFO&, const uint8_t* page) {
    return signature(page, {1, 9, 12, 184, 195, 196});
}

bool smartMatch19(const ARK_DISK_INFO& disk, const uint8_t*) {
    return has(model(disk), "INTEL SSDSCKHB");
}

bool smartMatch20(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return hasOneAnyCase(model(disk), {"INTEL", "SOLIDIGM"}) ||
           signatureOne(page, {{3, 4, 5, 9, 12, 192, 232, 233},
                               {3, 4, 5, 9, 12, 192, 225},
                               {3, 4, 5, 9, 12, 170, 171, 172}});
}

bool smartMatch21(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return (hasOne(model(disk), {"SAMSUNG", "MZ-"}) && isSsd(disk)) ||
           signatureOne(page, {{5, 9, 12, 170, 171, 172, 173, 174, 178, 180},
                               {9, 12, 178, 179, 180},
                               {9, 12, 177, 178, 179, 180, 183},
                               {9, 12, 175, 176, 177, 178, 179, 180},
                               {5, 9, 12, 177, 179, 181, 182}});
}

bool smartMatch22(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    if (startsOneAnyCase(m, {"MICRON_M600", "MICRON M600", "MICRON_M550", "MICRON M550",
                             "MICRON_M510", "MICRON M510", "MICRON_M500", "MICRON M500",
                             "MICRON_1300", "MICRON 1300", "MICRON_1100", "MICRON 1100", "MTFDDA"}))
        return true;
    bool family = hasOneAnyCase(m, {"M500SSD", "MX500SSD", "BX500SSD", "MX300SSD", "BX300SSD",
                                    "MX200SSD", "BX200SSD", "MX100SSD", "BX100SSD"}) ||
                  startsAnyCase(m, "MTFD");
    return family && !has(firmware(disk), "MU01");
}

bool smartMatch23(const ARK_DISK_INFO& disk, const uint8_t* page) {
    auto m = model(disk);
    return startsOneAnyCase(m, {"P600", "C600", "M6-", "M600", "P500"}) ||
           (startsAnyCase(m, "C500") && !starts(firmware(disk), "H")) ||
           startsOneAnyCase(
               m, {"M5-", "M500", "P400", "C400", "M4-", "M400", "P300", "C300", "M3-", "M300"}) ||
           (startsAnyCase(m, "CT") && hasAnyCase(m, "SSD")) ||
           startsOneAnyCase(m, {"CRUCIAL", "MICRON", "MTFD"}) ||
           signature(page, {1, 5, 9, 12, 170, 171, 172, 173, 174, 181, 183});
}

bool smartMatch24(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return has(model(disk), "SandForce") ||
           signatureOne(page, {{1, 5, 9, 12, 13, 100, 170},
                               {1, 5, 9, 12, 171, 172},
                               {1, 2, 3, 5, 7, 8, 9, 10, 12, 167, 168, 169, 170, 173, 175, 177}});
}

bool smartMatch25(const ARK_DISK_INFO& disk, const uint8_t* page) {
    auto m = model(disk);
    return startsAnyCase(m, "OCZ") &&
           (startsAnyCase(m, "OCZ-TRION") || signature(page, {1, 3, 4, 5, 9, 12, 232, 233}));
}

bool smartMatch26(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return startsOneAnyCase(model(disk), {"OCZ", "PANASONIC RP-SSB"}) ||
           signature(page, {5, 9, 12, 171, 174, 195, 196, 197, 198});
}

bool smartMatch27(const ARK_DISK_INFO& disk, const uint8_t*) {
    return hasOne(model(disk), {"CV8-", "CVB-", "ER2-"});
}

bool smartMatch28(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return startsOne(model(disk),
                     {"PLEXTOR", "LITEON", "CV6-CQ", "CSSD-S6T128NM3PQ", "CSSD-S6T256NM3PQ"}) ||
           signature(page, {1, 5, 9, 12, 177, 178, 181, 182});
}

bool smartMatch29(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return hasKingston(m) && hasOne(m, {"SUV400", "SUV500"});
}

bool smartMatch30(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return hasKingston(m) && has(m, "KC600");
}

bool smartMatch31(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return hasKingston(m) && has(m, "DC500");
}

bool smartMatch32(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return hasKingston(m) && has(m, "SA400");
}

bool smartMatch33(const ARK_DISK_INFO& disk, const uint8_t*) {
    return starts(model(disk), "Corsair");
}

bool smartMatch34(const ARK_DISK_INFO&, const uint8_t* page) {
    return signature(page, {1, 5, 9, 12, 161, 162, 163, 164, 166, 167});
}

bool smartMatch35(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return hasKingston(m) && hasOne(m, {"SM2280", "SEDC400", "SKC310", "SHSS", "SUV300", "SKC400"});
}

bool smartMatch36(const ARK_DISK_INFO& disk, const uint8_t*) {
    auto m = model(disk);
    return has(m, "SK hynix") || startsOne(m, {"HFS", "SHG"});
}

bool smartMatch37(const ARK_DISK_INFO& disk, const uint8_t*) {
    return has(model(disk), "KIOXIA");
}

bool smartMatch38(const ARK_DISK_INFO& disk, const uint8_t* page) {
    auto m = model(disk);
    if (signatureOne(page, {{1,   5,   9,   12,  160, 161, 163, 164, 165, 166,
                             167, 168, 169, 175, 176, 177, 178, 181, 182, 192},
                            {1,   5,   9,   12,  160, 161, 163, 164, 165, 166,
                             167, 148, 149, 150, 151, 169, 177, 181, 182, 187},
                            {1, 5, 9, 12, 148, 149, 150, 151, 159, 160, 161},
                            {1, 5, 9, 12, 160, 161, 163, 164, 165, 166, 167},
                            {1, 5, 9, 12, 160, 161, 163, 148, 149, 150, 151}}))
        return true;
    if (starts(m, "TS") && page != nullptr) {
        std::string_view tag(reinterpret_cast<const char*>(page) + 400, 2);
        if (tag == "TS" || tag == "SM") return true;
    }
    return starts(m, "ADATA SX950");
}

bool smartMatch39(const ARK_DISK_INFO&, const uint8_t* page) {
    return signatureOne(page, {{1, 9, 12, 168, 170, 173, 192, 194, 218, 231, 241},
                               {1, 9, 12, 168, 170, 173, 192, 218, 231, 241}});
}

bool smartMatch40(const ARK_DISK_INFO& disk, const uint8_t* page) {
    return !startsAnyCase(model(disk), "HANYE-Q55") &&
           signatureOne(page, {{5, 9, 12, 161, 164, 165, 166, 167}, kSignatureQ55});
}

bool smartMatch41(const ARK_DISK_INFO& disk, const uint8_t* page) {
    auto m = model(disk);
    return startsOneAnyCase(m, {"MAXIO", "CUSO C5S-EVO"}) ||
           (startsAnyCase(m, "HANYE-Q55") && signature(page, kSignatureQ55)) ||
           signature(page, {5, 9, 12, 167, 168, 169});
}

bool smartMatch42(const ARK_DISK_INFO& disk, const uint8_t*) {
    return startsOne(model(disk), {"Apacer", "ZADAK"}) ||
           startsOne(firmware(disk), {"AP", "SF", "PN"});
}

bool smartMatch43(const ARK_DISK_INFO& disk, const uint8_t*) {
    return has(model(disk), "ZHITAI");
}

bool smartMatch44(const ARK_DISK_INFO& disk, const uint8_t*) {
    return starts(model(disk), "SCY");
}

bool smartMatch45(const ARK_DISK_INFO& disk, const uint8_t*) {
    return starts(model(disk), "RECADATA");
}

bool smartMatch46(const ARK_DISK_INFO& disk, const uint8_t*) {
    return isSsd(disk);
}
