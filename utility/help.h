#pragma once

// The utility's help table: the general usage and one text per command.

// The text for a topic: a command's short or long name, with up to two leading '-'; the
// general usage for null, "" or a topic that names no command.
const char* helpText(const char* topic);

// Prints helpText(topic) and a line end.
void printHelp(const char* topic);
