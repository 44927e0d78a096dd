#pragma once

// Targets of commands that change or destroy something: exactly one array or one disk, named
// without patterns, so that a typo never reaches a device the user did not mean.

#include <cstdint>

// The array of a reference made only of digits, "N" or "N-M"; 0 when the text has any other
// form, names no array, or names an empty member slot.
uint32_t parseExactArrayId(const char* text);

enum class DiskTarget { Found, NotFound, Pattern, Ambiguous };

// The one disk whose location equals `text`. A '*' is refused as a pattern; two disks of the
// same location name are ambiguous.
DiskTarget findExactDisk(const char* text, uint32_t& id);

// Prints the reason a disk target was refused (nothing for Found).
void printDiskTargetError(DiskTarget result, const char* text);

// An array reference to a top-level array: digits only, "N". 0 when the text has any other
// form or names no array.
uint32_t parseTopArrayId(const char* text);

// Every disk a comma-separated list names, each piece matching at least one disk and no disk
// named twice, at most `max` disks. False with the reason printed.
bool collectDisks(const char* text, uint32_t* ids, int max, int& count);
