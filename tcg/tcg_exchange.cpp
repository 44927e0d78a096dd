#include "tcg_exchange.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "tcg_command.h"
#include "tcg_dev.h"
#include "tcg_dump.h"
#include "tcg_log.h"
#include "tcg_response.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

constexpr uint8_t kIfSend = 0x5E;
constexpr uint8_t kIfRecv = 0x5C;

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The ComPacket's length plus its 20-byte header, within the buffer.
uint32_t frameLength(const uint8_t* buffer) {
    const uint64_t n = uint64_t(bigEndian32(buffer + 16)) + 20;
    return n > TcgCommand::kBufferSize ? TcgCommand::kBufferSize : uint32_t(n);
}

// Whether a reply frame may answer the command frame: a Packet with session numbers (TSN and
// HSN, bytes 20-27) must carry the command's. An empty ComPacket is left to the caller's
// checks, and the Session Manager's packets (numbers 0) are taken as they come.
bool sameSession(const uint8_t* command, const uint8_t* reply) {
    if (bigEndian32(reply + 16) == 0) return true;
    if (bigEndian32(reply + 20) == 0 && bigEndian32(reply + 24) == 0) return true;
    return std::memcmp(command + 20, reply + 20, 8) == 0;
}

struct HostProperty {
    const char* name;
    uint64_t value;
};

// What the tool offers in every Properties exchange.
constexpr HostProperty kHostProperties[] = {
    {"MaxComPacketSize", 2048}, {"MaxPacketSize", 2028}, {"MaxIndTokenSize", 1992},
    {"MaxPackets", 1},          {"MaxSubpackets", 1},    {"MaxMethods", 1},
};

void takeTPerSizes(TcgDev& dev) {
    const TcgResponse& r = dev.propertiesReply;
    bool haveComPacket = false;
    for (uint32_t i = 0; i < r.getTokenCount();) {
        if (r.tokenIs(i) != STARTNAME) {
            ++i;
            continue;
        }
        if (r.tokenIs(i + 1) != DTA_TOKENID_BYTESTRING) break;  // the host's echoed list
        const std::optional<std::string> name = r.getString(i + 1);
        if (name && *name == "MaxComPacketSize" && !haveComPacket) {
            if (const std::optional<uint32_t> v = r.getUint32(i + 2)) {
                dev.maxComPacketSize = *v;
                haveComPacket = true;
            }
        } else if (name && *name == "MaxIndTokenSize") {
            if (const std::optional<uint32_t> v = r.getUint32(i + 2)) dev.maxIndTokenSize = *v;
            break;
        }
        i += 3;
    }
}

void printValue(const TcgResponse& reply, uint32_t index) {
    const std::optional<uint64_t> v =
        reply.tokenIs(index) == DTA_TOKENID_UINT ? reply.getUint64(index) : std::nullopt;
    if (v) {
        std::printf("%llu", (unsigned long long)*v);
    } else {
        std::printf("?");
    }
}

}  // namespace

uint8_t tcgExec(TcgDev& dev, TcgCommand& cmd, TcgResponse& response, uint8_t protocol,
                const char* recvFailText) {
    if (tcgLogLevel() >= TCG_DBG3) {
        TCGLOG(TCG_DBG3) << "";
        TCGLOG(TCG_DBG3) << "Dumping command buffer";
        tcgHexDump(cmd.getCmdBuffer(), frameLength(cmd.getCmdBuffer()), cmd.secretSpans());
    }
    const uint32_t sendLength = (cmd.position() + 511) / 512 * 512;
    uint8_t rc = dev.sendCmd(kIfSend, protocol, dev.comID(), cmd.getCmdBuffer(), sendLength);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Command failed on send " << int(rc);
        return rc;
    }
    uint8_t* reply = cmd.getRespBuffer();
    bool complete = false;
    for (int poll = 0; poll < kTcgMaxPolls; ++poll) {
        dev.sleepMs(kTcgPollMs);
        std::memset(reply, 0, TcgCommand::kBufferSize);
        rc = dev.sendCmd(kIfRecv, protocol, dev.comID(), reply, TcgCommand::kBufferSize);
        if (rc != 0) break;
        // Outstanding data with no minimum transfer: the reply is not ready yet.
        if (bigEndian32(reply + 8) != 0 && bigEndian32(reply + 12) == 0) continue;
        // A reply whose Packet carries other session numbers answers an earlier exchange
        // whose receive failed: it is dropped and this exchange's reply is asked for again.
        if (!sameSession(cmd.getCmdBuffer(), reply)) {
            TCGLOG(TCG_DBG1) << "Dropped the reply of an earlier exchange";
            continue;
        }
        complete = true;
        break;
    }
    if (tcgLogLevel() >= TCG_DBG3) {
        TCGLOG(TCG_DBG3) << "Dumping reply buffer";
        if (cmd.secretReply()) {
            TCGLOG(TCG_DBG3) << "(the reply carries a credential and is not shown)";
        } else {
            tcgHexDump(reply, frameLength(reply));
        }
    }
    if (rc != 0) {
        TCGLOG(TCG_ERR) << recvFailText << int(rc);
        return rc;
    }
    if (!complete) {
        TCGLOG(TCG_ERR) << "Command failed: no reply after " << kTcgMaxPolls << " polls";
        return kTcgReplyTimeout;
    }
    response.init(reply, TcgCommand::kBufferSize);
    return 0;
}

uint8_t tcgProperties(TcgDev& dev, bool enterprise) {
    const char* who = enterprise ? "TcgDevEnterprise" : "TcgDevOpal";
    TCGLOG(TCG_DBG1) << "Entering " << who << "::properties()";
    dev.activeSession = std::make_unique<TcgSession>(&dev);
    auto cmd = std::make_unique<TcgCommand>(OPAL_SMUID_UID, PROPERTIES);
    cmd->addToken(STARTLIST);
    cmd->addToken(STARTNAME);
    if (enterprise) {
        cmd->addToken("HostProperties");
    } else {
        cmd->addToken(UINT_00);
    }
    cmd->addToken(STARTLIST);
    for (const HostProperty& p : kHostProperties) {
        cmd->addToken(STARTNAME);
        cmd->addToken(p.name);
        cmd->addToken(p.value);
        cmd->addToken(ENDNAME);
    }
    cmd->addToken(ENDLIST);
    cmd->addToken(ENDNAME);
    cmd->addToken(ENDLIST);
    uint8_t rc = cmd->complete(1);
    if (rc == 0) rc = dev.activeSession->sendCommand(*cmd, dev.propertiesReply);
    if (rc != 0) return rc;
    dev.diskInfo.PropertiesExchanged = true;
    cmd.reset();
    if (!enterprise) takeTPerSizes(dev);
    TCGLOG(TCG_DBG1) << "Leaving " << who << "::properties()";
    return 0;
}

void tcgPrintOpalProperties(const TcgResponse& reply) {
    std::printf("\nTPer Properties: ");
    for (uint32_t i = 0; i < reply.getTokenCount(); ++i) {
        if (reply.tokenIs(i) == STARTNAME) {
            const uint32_t nameIndex = i + 1;
            i += 2;
            if (reply.tokenIs(nameIndex) == DTA_TOKENID_BYTESTRING) {
                const std::string name = reply.getString(nameIndex).value_or("");
                std::printf("  %s = ", name.c_str());
                printValue(reply, i);
            } else {
                std::printf("\nHost Properties: \n");
            }
        }
        if (i % 6 == 0) std::printf("\n");
    }
}

void tcgPrintEnterpriseProperties(const TcgResponse& reply) {
    std::printf("\nTPer Properties: \n");
    int counter = 1;
    uint32_t i = 0;
    while (i < reply.getTokenCount()) {
        if (reply.tokenIs(i) == ENDLIST) {
            if (reply.tokenIs(i + 1) != STARTNAME) break;
            std::printf("\nHost Properties: \n");
            counter = 1;
            i += 3;
            continue;
        }
        if (reply.tokenIs(i) == STARTNAME && reply.tokenIs(i + 1) == DTA_TOKENID_BYTESTRING) {
            const std::string name = reply.getString(i + 1).value_or("");
            std::printf("  %s = ", name.c_str());
            printValue(reply, i + 2);
            i += 2;
            if (++counter % 3 == 0) std::printf("\n");
        }
        ++i;
    }
    if (counter % 3 != 0) std::printf("\n");
}
