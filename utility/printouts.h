#pragma once

// The printouts of the query command.

#include <cstdint>

#include "ark.h"

// A sector count as decimal gigabytes, truncated: whole part and three decimals.
struct Gigabytes {
    unsigned long long whole;
    unsigned thousandths;
};
Gigabytes sectorsToGigabytes(uint64_t sectors);

int printControllers();
void printArrayRow(int number, const ARK_VD_INFO& array);
// The header block (for a top-level array) and the member table; a member array's own
// members are printed one level deep only.
void printArrayDetail(const ARK_VD_INFO& array);
void printSpareRows();
void printDiskDetail(const ARK_VD_INFO& disk);

// The 79-dash line under every table header.
void printRule();
