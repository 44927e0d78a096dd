// Opal-family MBR shadowing: MBRControl's Enable and Done, and writing a pre-boot image into
// the MBR table.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "tcg_command.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

constexpr uint8_t kMbrEnableColumn = 1;
constexpr uint8_t kMbrDoneColumn = 2;
// What one MBR write carries besides its data: the frame header, Call, both UIDs, the Where
// and Values names with the offset, the data atom's header, the status list and padding.
constexpr uint32_t kMbrWriteOverhead = 56 + 1 + 9 + 9 + 1 + 3 + 9 + 1 + 3 + 4 + 1 + 1 + 6 + 3;

}  // namespace

static uint8_t setMbrControl(TcgDevOpal& dev, uint8_t column, uint8_t state, const char* password,
                             const char* what) {
    TcgSession& session = tcgNewSession(dev);
    uint8_t rc = session.startSession(OPAL_LOCKINGSP_UID, password, OPAL_ADMIN1_UID);
    if (rc == 0) rc = dev.setTable(tcgUidToken(OPAL_MBRCONTROL), column, uint8_t(state ? 1 : 0));
    tcgEndSession(dev);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << what << " Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << what << (state ? " set on" : " set off");
    return 0;
}

uint8_t TcgDevOpal::setMBREnable(uint8_t state, const char* Admin1Password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setMBREnable";
    return setMbrControl(*this, kMbrEnableColumn, state, Admin1Password, "setMBREnable");
}

uint8_t TcgDevOpal::setMBRDone(uint8_t state, const char* Admin1Password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setMBRDone";
    return setMbrControl(*this, kMbrDoneColumn, state, Admin1Password, "setMBRDone");
}

uint8_t TcgDevOpal::loadPBA(const char* password, const char* filename) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::loadPBA()";
    std::FILE* file = std::fopen(filename, "rb");
    if (file == nullptr) {
        TCGLOG(TCG_ERR) << "Unable to open PBA image file " << filename;
        return kTcgInvalidParameter;
    }
    std::vector<uint8_t> image;
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        image.insert(image.end(), buffer, buffer + got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError || image.empty()) {
        TCGLOG(TCG_ERR) << (readError ? "Unable to read PBA image file "
                                      : "PBA image file is empty ")
                        << filename;
        return kTcgInvalidParameter;
    }
    // Chunks fit our command buffer and what the drive takes in one packet and one token.
    uint32_t chunk = TcgCommand::kBufferSize - kMbrWriteOverhead;
    chunk = std::min(
        chunk, maxComPacketSize > kMbrWriteOverhead ? maxComPacketSize - kMbrWriteOverhead : 0u);
    chunk = std::min(chunk, maxIndTokenSize > 4 ? maxIndTokenSize - 4 : 0u);
    chunk &= ~uint32_t(7);
    if (chunk == 0) {
        TCGLOG(TCG_ERR) << "The drive's packet sizes leave no room for MBR data";
        return kTcgFailed;
    }
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(OPAL_LOCKINGSP_UID, password, OPAL_ADMIN1_UID);
    int shownPercent = -1;
    for (size_t offset = 0; rc == 0 && offset < image.size(); offset += chunk) {
        const size_t n = std::min<size_t>(chunk, image.size() - offset);
        TcgCommand cmd;
        cmd.reset(OPAL_MBR, SET);
        cmd.addToken(STARTLIST);
        cmd.addToken(STARTNAME);
        cmd.addToken(UINT_00);  // Where: the byte offset
        cmd.addToken(uint64_t(offset));
        cmd.addToken(ENDNAME);
        cmd.addToken(STARTNAME);
        cmd.addToken(UINT_01);  // Values: the bytes
        TcgBytes data;
        tcgEncodeBytes(data, image.data() + offset, n);
        cmd.addToken(data);
        cmd.addToken(ENDNAME);
        cmd.addToken(ENDLIST);
        rc = uint8_t(cmd.complete(1));
        if (rc == 0) rc = session.sendCommand(cmd, lastResponse);
        const int percent = int((offset + n) * 100 / image.size());
        if (rc == 0 && percent / 10 != shownPercent / 10) {
            shownPercent = percent;
            TCGLOG(TCG_INFO) << "Writing PBA to MBR: " << (unsigned long long)offset + n << " of "
                             << (unsigned long long)image.size() << " bytes (" << percent << "%)";
        }
    }
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "loadPBA Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << "PBA image " << filename << " written to MBR";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::loadPBA()";
    return 0;
}

uint8_t TcgDevOpal::objDump(const char* sp, const char* auth, const char* pass, const char* objID) {
    return tcgObjDump(*this, sp, auth, pass, objID);
}

uint8_t TcgDevOpal::rawCmd(const char* sp, const char* auth, const char* pass, const char* invoker,
                           const char* method, const char* plist) {
    return tcgRawCmd(*this, sp, auth, pass, invoker, method, plist);
}
