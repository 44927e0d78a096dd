#pragma once

// What the emulated driver and firmware hold. Plain data: scenarios fill it, requests change it,
// tests read and adjust it through Emulator::Snapshot and Emulator::Modify.

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "trusted_device.h"

namespace emu {

constexpr uint32_t kNoId = 0xFFFFFFFFu;

struct DriverInfo {
    std::string name = "arkraid";
    uint8_t bsShiftMin = 1;  // 1 KiB
    uint8_t bsShiftMax = 9;  // 256 KiB
    uint8_t hwraid = 0;
    std::vector<uint8_t> raidLevels = {1, 2, 3, 4, 7};
    // Bit (1 << policy) per allowed cache policy, one entry per raid level.
    std::vector<uint8_t> cachePolicies = {0x0F, 0x0F, 0x0F, 0x0F, 0x0F};
    std::vector<uint8_t> maxMpa = {64, 2, 32, 32, 64};
};

struct Battery {
    bool installed = false;
    uint8_t type = 1;
    uint8_t status = 0x1;
    uint16_t voltageMv = 4100;
    int16_t temperature = 3000;
    int learnTicks = 0;  // ticks left in the current discharge or charge phase
};

struct HwMonEntry {
    uint8_t kind = 0;  // 0 temperature, 1 voltage
    uint8_t sensor = 0;
    uint16_t value = 0;
};

struct Controller {
    std::string ioc = "ARK2800";
    std::string vendor = "Arkmoor";
    std::string fwRev = "1.0.0";
    std::string product = "Arkmoor RAID Controller";
    std::string serial = "SN0000000001";
    uint8_t numPorts = 8;
    uint8_t vhostno = 0;
    uint8_t pcieSpeed = 3;
    uint8_t pcieWidth = 8;
    std::array<uint8_t, 4> pci = {0, 1, 0, 0};  // tree, bus, device, function
    uint32_t ramsize = 0;
    Battery bbu;
    uint32_t pciIdFirst = 0x28001E4Au;
    uint32_t pciIdSecond = 0x00011E4Au;
    std::vector<uint8_t> flash = std::vector<uint8_t>(1 << 20, 0xFF);
    std::vector<HwMonEntry> hwmon;
};

// One attribute of the SMART pages.
struct SmartAttribute {
    uint8_t id = 0;
    uint16_t flags = 0;
    uint8_t current = 100;
    uint8_t worst = 100;
    std::array<uint8_t, 6> raw{};
    uint8_t threshold = 0;
};

// A run of sectors of a disk that belongs to an array.
struct Extent {
    uint32_t array = 0;
    uint64_t start = 0;
    uint64_t sectors = 0;
};

// The ATA security feature set of a disk. Passwords are the 32 bytes the commands carry.
struct DiskSecurity {
    bool enabled = false;  // a user password is set
    bool locked = false;
    bool frozen = false;
    bool maximum = false;        // security level maximum (else high)
    bool erasePrepared = false;  // the previous command was SECURITY ERASE PREPARE
    uint8_t attempts = 0;        // failed password attempts since power-on
    std::vector<uint8_t> user;
    std::vector<uint8_t> master = std::vector<uint8_t>(32, 0);
    uint16_t masterRevision = 0xFFFE;
};

// SANITIZE DEVICE: the operation under way or the last one's outcome, and the freeze locks.
struct DiskSanitize {
    enum State : uint8_t { Idle = 0, Running = 1, Done = 2, Failed = 3 };
    uint8_t state = Idle;
    uint32_t progress = 0;  // hundredths of a percent
    bool frozen = false;
    bool antifreeze = false;
};

struct Disk {
    uint32_t id = 0;
    std::string model = "EMU DISK";
    std::string serial = "EMU0000001";
    std::string fwrev = "1.0";
    uint8_t controller = 0;
    uint8_t port = 0;  // the enclosure number when kDiskEnclosure is set
    uint8_t target = 0;
    uint8_t pdType = 1;
    uint8_t ssShift = 0;
    uint8_t spinupMode = 0;
    uint8_t vcoreId = 0;
    uint8_t targetId = 255;
    std::array<uint8_t, 4> linkrate = {3, 3, 3, 3};  // max, avail, actual, set
    uint32_t flags = 0;
    uint64_t capacity = 0;
    bool present = true;  // false after an unload or a scripted removal
    bool locate = false;
    std::vector<Extent> extents;
    std::vector<SmartAttribute> smart;
    std::shared_ptr<TrustedDevice> trusted;
    DiskSecurity security;
    DiskSanitize sanitize;
    std::vector<uint8_t> microcode;  // DOWNLOAD MICROCODE segments received so far
    bool userData = true;            // false after an erase or a sanitize
};

struct Array {
    uint32_t id = 0;
    std::string name;
    uint8_t raidlevel = 1;
    uint8_t subRaidlevel = 0;
    uint8_t bsShift = 7;
    uint8_t ssShift = 0;
    uint8_t cachePolicy = 0;
    uint8_t vcoreId = 0;
    uint8_t targetId = 255;
    uint32_t parent = kNoId;
    uint32_t flags = 0;
    uint32_t signature = 0;
    uint64_t capacity = 0;
    uint64_t outdatedMask = 0;
    uint64_t rebuiltSectors = 0;
    uint32_t rebuiltPercent = 0;
    uint32_t transformPercent = 0;
    uint32_t transformSrc = kNoId;
    uint32_t transformTgt = kNoId;
    uint64_t perDisk = 0;  // sectors each member disk gives
    std::vector<uint32_t> members;
    bool listed = true;  // false for a transform target until its transform ends
};

struct Event {
    uint8_t code = 0;
    uint32_t devid = kNoId;
};

// Something a scenario makes happen at a given tick.
struct ScriptStep {
    enum class Action { Event, FailDisk, RemoveDisk, PowerCycle };
    uint64_t tick = 0;
    Action action = Action::Event;
    uint8_t code = 0;
    uint32_t id = kNoId;  // the event's devid, or the disk
};

struct State {
    DriverInfo driver;
    std::vector<Controller> controllers;
    std::map<uint32_t, Disk> disks;
    std::map<uint32_t, Array> arrays;
    std::deque<Event> events;
    std::map<std::string, uint32_t> config;
    uint32_t pcacheSize = 0;
    uint32_t progressPerTick = 1000;  // hundredths of a percent
    int bbuPhaseTicks = 5;
    uint32_t nextId = 0x100;
    uint64_t ticks = 0;
    std::vector<ScriptStep> script;
};

// The eight integer settings the controller keeps, with their values when nothing set them.
const std::map<std::string, uint32_t>& DefaultConfig();

}  // namespace emu
