#include "help.h"

#include <cstdio>
#include <cstring>

namespace {

struct HelpRow {
    const char* shortName;
    const char* longName;
    const char* text;
};

// Printed as they stand, each followed by a line end.
const HelpRow kHelpRows[] = {
    {"", "", R"txt(Usage: arkutil <command> [<args>]

Supported commands:

   -H, --help         Show this help text
   -v, --version      Show version information
   -Q, --query        Query controller/disk/array information
   -C, --create       Create new array or transform existing array
   -D, --delete       Delete array
   -I, --initialize   Initialize disk or array
   -R, --rebuild      Rebuild an array
   -T, --transform    Start or stop array transform process
   -V, --verify       Start or stop array consistency check
   -A, --array        Array management commands
   -P, --rescan       Rescan devices
   -U, --unplug       Prepare an array or disk for safe removal
   -N, --rename       Rename an array
   -E, --events       Poll controller events
   -B, --bbu          BBU commands
   --config           Config controller parameters
   --flash            Update controller firmware
   --pdcmd            Physical disk commands
   --pcache           Show preserved cache status
   --hwmon            Show hardware monitor status
   --tcgtool          tcgtool commands

Use 'arkutil -H <command>' for command specific help.)txt"},
    {"v", "version", R"txt(Show version information.

arkutil {-v|--version})txt"},
    {"Q", "query", R"txt(Query controller/disk/array information.

arkutil {-Q|--query} [<args>]

   -a, --arrays
       query arrays' information

   -e, --devices
       query devices' information

   -c, --controllers
       query controllers' information

   -p, --detail <id>
       query a specific item's detail information

Example:
   # arkutil -Q -a
   # arkutil -Q -e
   # arkutil -Q -c
   # arkutil -Q -a -p 1)txt"},
    {"C", "create", R"txt(Create array(s) or spare disk(s).

arkutil {-C|--create} [<args>]

   -l, --level <type>
       Array type (RAID0, RAID1, RAID5, RAID10, JBOD, spare)

   -z, --size <size>
       assign the array capacity in MB

   -k, --block <size>
       block size in KB

   -d, --disks [<disks>...]
       assign member disks to be used in array

   -m, --matrix N*M
       specify RAID50/60 matrix by N*M

   -n, --name <name>
       assign the array's name

   -f, --foreground
       run foreground initialization

   -b, --background
       run background initialization

   -y, --cache-policy {WB|WT}
       set cache policy. WB: write back, WT: write-through.

   -S, --source <id>
       assign the source array from which to transform

Example:
   # arkutil -C -l RAID5 -d 1/1,1/2,1/3,1/4 -n testraid -f -y WB -z 1000
   # arkutil -C -l spare -d 1/1

OCE/ORLM example:
   # arkutil -C -l RAID0 -d 1/1,1/2,1/3,1/4 -n testraid -f -y WB -z 2000 -S 1)txt"},
    {"D", "delete", R"txt(Delete an array.

arkutil {-D|--delete} <id>

Example:
   # arkutil -D 1)txt"},
    {"R", "rebuild", R"txt(Rebuild an array or add disk to a broken array.

arkutil {-R|--rebuild} <id> [-r|-s|-d <id>]

   -d, --disks
       assign the disk which will be added to the broken array

   -s, --stop
       stop rebuilding

   -r, --run
       start rebuild

Example:
   # arkutil -R 1 -d 1/2
   # arkutil -R 1 -r
   # arkutil -R 1 -s)txt"},
    {"V", "verify", R"txt(Start or stop the verifying process on the specified array.

arkutil {-V|--verify} <id> [-r|-s]

   -s, --stop
       stop verifying

   -r, --run
       start verify

Example:
   # arkutil -V 1 -r
   # arkutil -V 1 -s)txt"},
    {"T", "transform", R"txt(Start or stop the transform process.

arkutil {-T|--transform} <id> [-r|-s]

   -r, --run
       start the transform process

   -s, --stop
       stop the transform process)txt"},
    {"N", "rename", R"txt(Rename an array.

arkutil {-N|--rename} <id> {-n|--name} <name>

   -n, --name <name>
       specify new name

Example:
   # arkutil -N 1 -n new_array_name)txt"},
    {"P", "rescan", R"txt(Rescan all the devices connected to the RAID adapter.

arkutil {-P|--rescan})txt"},
    {"A", "array", R"txt(Array management commands.

arkutil {-A|--array} [<args>]

   -y, --cache-policy {WB|WT|NONE}
       change the array's Cache Policy

Example:
   # arkutil -A 1 -y WB
   # arkutil -A 1 -y WT
   # arkutil -A 1 -y NONE)txt"},
    {"U", "unplug", R"txt(Prepare an array or disk for safe removal.

arkutil {-U|--unplug} <id>

Example:
   # arkutil --unplug 1
   # arkutil --unplug 1/2)txt"},
    {"I", "initialize", R"txt(Initialize an array or disk.

arkutil {-I|--initialize} <id> [-r|-s]

   -r, --run
       Start array intitialization process

   -s, --stop
       Stop array initialization process

Example:
   # arkutil -I x -r
   # arkutil -I x -s
   # arkutil -I x/x)txt"},
    {"E", "events", R"txt(Show logged events.

arkutil {-E|--events})txt"},
    {"B", "bbu", R"txt(BBU commands. Show BBU status when no additional option is given.

arkutil {-B|--bbu} [<args>]

   -d, --discharge
       Start discharging test

   -s, --stop
       Stop discharging test

   -D, --disable
       Disable BBU module)txt"},
    {"", "pcache", R"txt(PCache commands. Show PCache status when no additional option is given.

arkutil --pcache [<args>]

   -s, --status
       Show preserved cache status

   -c, --clear
       Clear preserved cache)txt"},
    {"", "config", R"txt(Show or change adapter configuration.

arkutil --config <name>[=<value>]

Example:
   # arkutil --config DiskIdleTimer
   # arkutil --config DiskIdleTimer=10)txt"},
    {"", "flash", R"txt(Update controller firmware.

arkutil --flash <filename> [<args>]

   -c, --controller
       Speficy controller ID

   -o, --offset
       Speficy flash offset (HEX value)

   -s, --save <size>
       Save <size> bytes to <filename>

Example:
   # arkutil --flash file.bin)txt"},
    {"", "hwmon", R"txt(Show hardware monitor status.

arkutil --hwmon)txt"},
    {"", "pdcmd", R"txt(Physical disk commands.

arkutil --pdcmd <id> [<args>]

   -i, --info
       Show disk identification information

   -l, --locate {on|off}
       Turn on/off locate LED

   -r, --read-ahead {on|off}
       Turn on/off disk read-ahead feature

   -w, --write-cache {on|off}
       Turn on/off disk write-cache feature

   -q, --ncq {on|off}
       Turn on/off disk NCQ

   -s, --smart {on|off}
       Turn on/off disk SMART feature

   -t, --smartstatus
       Show disk overall SMART status

   -v, --smartvalues
       Show SMART attributes

   -f, --fwdownload <file>
       Download disk microcode

   -m, --use-master
       Use master password for security commands

   -M, --mode-maximum
       for --setpass command, set security mode to maximum

   -p, --setpass <password>
       Set disk password

   -u, --unlock <password>
       Security unlock disk

   -d, --security-disable <password>
       Disable disk password

   -e, --security-erase <password>
       Security erase disk (normal mode)

   -E, --security-erase-enhanced <password>
       Security erase disk (enhanced mode)

   --overwrite-passes <value>
       Set overwrite passes for sanitize-overwrite operation

   --sanitize-status
       Show sanitize status information

   --sanitize-freeze-lock
       Lock drive's sanitize features until next power cycle

   --sanitize-antifreeze-lock
       Block sanitize-freeze-lock command until next power cycle

   --sanitize-block-erase
       Start block erase operation

   --sanitize-crypto-scramble
       Change the internal encryption keys that used for used data

   --sanitize-overwrite <pattern>
       Overwrite the internal media with constant pattern)txt"},
    {"", "tcgtool", R"txt(Please run 'arkutil --tcgtool' for help.)txt"},
};

}  // namespace

const char* helpText(const char* topic) {
    const char* t = topic ? topic : "";
    if (*t == '-') ++t;
    if (*t == '-') ++t;
    for (const HelpRow& row : kHelpRows) {
        if (std::strcmp(t, row.shortName) == 0 || std::strcmp(t, row.longName) == 0)
            return row.text;
    }
    return kHelpRows[0].text;
}

void printHelp(const char* topic) {
    std::printf("%s\n", helpText(topic));
}
