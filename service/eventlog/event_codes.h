#pragma once

// Event types, every code the service adds itself, and the type of each controller code. The
// controller's own codes (below 100) are named by the severity and notification tables.

// The type of an event, as stored and as mail masks select it (bit 1 << type).
enum EventType : int {
    kEventInformation = 1,
    kEventWarning = 2,
    kEventError = 3,
};

// Codes of 100 and above are the service's own and are never mailed.
inline constexpr int kFirstServiceEventCode = 100;
// User actions, recorded as information once the action succeeded.
inline constexpr int kEventLogin = 101;
inline constexpr int kEventLogout = 102;
inline constexpr int kEventDiskInitialized = 103;
inline constexpr int kEventArrayCreated = 104;
inline constexpr int kEventArrayDeleted = 105;
inline constexpr int kEventDiskAdded = 106;
inline constexpr int kEventSpareAssigned = 107;
inline constexpr int kEventSpareUnassigned = 108;
inline constexpr int kEventPasswordChanged = 109;
inline constexpr int kEventArrayTransformed = 111;
// The scheduler and the mailer.
inline constexpr int kEventTaskTargetMissing = 112;  // no array for a scheduled task
inline constexpr int kEventTaskNotStarted = 113;     // a scheduled task could not be started
inline constexpr int kEventMailFailed = 114;         // a mail could not be sent (error)

// The type of a controller event code: warning, error, or information for every other code.
int eventSeverity(int code);
