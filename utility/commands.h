#pragma once

// The utility's commands. Each starts reading its own options at g_optIndex (where the entry
// stopped), sends its requests to g_currentDomain, prints to standard output only and returns
// the exit status: 0 success, 1 failure.

int utilMain(int argc, char** argv);

// Inline commands of the entry.
int eventsCommand();
int rescanCommand();
int initializeCommand(int argc, char** argv, const char* target);
int configCommand(const char* setting);
int pcacheCommand(int argc, char** argv);
int hwmonCommand();

int queryCommand(int argc, char** argv);
int batteryCommand(int argc, char** argv);

// The array form of initialize: start ('r') or stop ('s') the initialisation of an array.
int initializeArrayCommand(const char* reference, int action);

// Array commands.
int createCommand(int argc, char** argv);
int deleteCommand(const char* target);
int rebuildCommand(int argc, char** argv, const char* target);
int verifyCommand(int argc, char** argv, const char* target);
int transformCommand(int argc, char** argv, const char* target);
int arrayPolicyCommand(int argc, char** argv, const char* target);
int renameCommand(int argc, char** argv, const char* target);
int unplugCommand(const char* target);

// Physical-disk commands.
int pdCommand(int argc, char** argv, const char* location);

// Firmware flash.
int flashCommand(int argc, char** argv, const char* path);

// The program's version text.
extern const char* const kUtilVersion;
