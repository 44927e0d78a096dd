#pragma once

// Opens the storage port at `path`, files it into the domain list through the miniport path,
// or else through the controller's processor device if the port has one. Every handle it
// opens ends up owned by an accepted port or closed, exactly once.
void ProbeStoragePort(const char* path);
