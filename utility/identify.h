#pragma once

// The ATA IDENTIFY DEVICE printout of a disk.

#include <cstdint>
#include <string>

// The report of one 512-byte IDENTIFY page, line by line.
std::string identifyReport(const uint8_t* page);
