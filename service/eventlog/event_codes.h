#pragma once

// Event types and the codes the service adds itself, and the type of each controller code.

inline constexpr int kEventInformation = 1;
inline constexpr int kEventWarning = 2;
inline constexpr int kEventError = 3;

// Codes of 100 and above are the service's own and are never mailed.
inline constexpr int kFirstServiceEventCode = 100;
inline constexpr int kEventTaskTargetMissing = 112;  // no array for a scheduled task
inline constexpr int kEventTaskNotStarted = 113;     // a scheduled task could not be started

// The type of a controller event code: warning, error, or information for every other code.
int eventSeverity(int code);
