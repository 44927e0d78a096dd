#pragma once

#include <string>
#include <string_view>

#include "json_util.h"

// What SetConfig and SetDomainConfig may store. The start-up, the scheduler and the mailer read
// these sections back; a value of the wrong type or out of range (a port of 70000) would only
// show up there, as a service that no longer starts. Each check gives an empty text when the
// value may be stored, else a short reason for the client. Members a check does not know pass
// unchanged.

// A section of SetConfig: "settings", "tasks" or "email_notification".
std::string checkConfigSection(std::string_view name, const value& section);

// The controller settings of a SetDomainConfig call (its params, "domain" aside).
std::string checkDomainSettings(const value& params);
