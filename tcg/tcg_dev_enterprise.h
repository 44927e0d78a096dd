#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tcg_dev_operations.h"
#include "tcg_dev_os.h"

// The Enterprise SSC dialect. Its Properties exchange is run by whoever opens the device.
class TcgDevEnterprise : public TcgDevOS {
public:
    ~TcgDevEnterprise() override;

    void puke() override;

    TCG_DEV_OPERATIONS_OVERRIDE
    uint8_t exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) override;
    uint16_t comID() override;

    uint8_t properties();

    // Table access inside the current session with named columns; the reply lands in
    // lastResponse.
    uint8_t getTable(const std::vector<uint8_t>& table, const char* startcol, const char* endcol);
    uint8_t setTable(const std::vector<uint8_t>& table, const char* name,
                     std::vector<uint8_t> value);
    // Several named columns in one Set.
    uint8_t setColumns(const std::vector<uint8_t>& table,
                       const std::vector<std::pair<const char*, std::vector<uint8_t>>>& values);

    // Reads the MSID into lastResponse (token 5).
    uint8_t getDefaultPassword();
    // The MSID as text into `msid`.
    uint8_t readMsid(std::string& msid);
    uint8_t initLSPUsers(const char* defaultPassword, const char* newPassword);
    uint8_t getMaxRanges(uint16_t* maxRanges);
    uint8_t getMaxRangesFromRow(uint16_t* maxRanges);

private:
    uint8_t readMaxRanges(const std::vector<uint8_t>& object, uint16_t* maxRanges);
    // Signs in to the Locking SP as the band's master with `password` (clear when `clear`).
    uint8_t startBandSession(uint16_t band, const char* password, bool clear);
};
