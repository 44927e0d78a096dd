#pragma once

// The one place the Windows ports get their platform calls from: the SDK on Windows, the
// stand-in's declarations of the same names everywhere else.

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>
#include <ntddscsi.h>
// clang-format on
#else
#include "win32_api.h"
#endif
