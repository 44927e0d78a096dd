#pragma once

// Checks shared by the tests that run a host against the drive model.

#include <gtest/gtest.h>

#include "sed_drive.h"

namespace emu::tcg::test {

// A host that is done leaves nothing behind: no open session and no reply unread.
inline testing::AssertionResult NoSessionLeft(const SedDrive& drive) {
    if (drive.Session())
        return testing::AssertionFailure() << "session TSN " << drive.Session()->tsn << " is open";
    if (drive.QueuedReplies())
        return testing::AssertionFailure() << drive.QueuedReplies() << " replies were not read";
    return testing::AssertionSuccess();
}

}  // namespace emu::tcg::test
