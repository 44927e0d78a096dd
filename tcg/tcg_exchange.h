#pragma once

#include <cstdint>

class TcgCommand;
class TcgDev;
class TcgResponse;

// What the Opal-family and Enterprise devices share: the method-call exchange, the Properties
// exchange and its printout.

constexpr int kTcgMaxPolls = 400;  // about 10 s of 25 ms polls
constexpr uint32_t kTcgPollMs = 25;

// One method call: IF-SEND of the command (rounded up to whole sectors), then IF-RECV polled
// every 25 ms while the drive reports outstanding data without a minimum transfer, at most
// kTcgMaxPolls times. 0 with the reply parsed into `response`; else the transport's failure
// code or kTcgReplyTimeout. `recvFailText` is the dialect's message for a failed receive.
uint8_t tcgExec(TcgDev& dev, TcgCommand& cmd, TcgResponse& response, uint8_t protocol,
                const char* recvFailText);

// The Properties exchange on a new session of `dev` (kept as its activeSession). 0 on success;
// the Opal dialect then takes the TPer's MaxComPacketSize and MaxIndTokenSize.
uint8_t tcgProperties(TcgDev& dev, bool enterprise);

// The TPer and host properties of `dev`'s Properties reply, when it was exchanged.
void tcgPrintOpalProperties(const TcgResponse& reply);
void tcgPrintEnterpriseProperties(const TcgResponse& reply);
