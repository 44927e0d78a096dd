#include <cstdio>

#include "tcg_options.h"

void printTcgUsage() {
    std::printf("tcgtool-cli <-v> <-n> <action> <options> <device>\n");
    std::printf("   -v (optional)      increase verbosity, one to five v's\n");
    std::printf(
        "   -n (optional)      no password hashing. Passwords will be sent in clear text!\n");
    std::printf("   -l (optional)      log style output to stderr only\n");
    std::printf("\nactions\n");
    std::printf("\n   --query <device>\n");
    std::printf("       Display the Discovery 0 response of a device\n");
    std::printf("\n   --isValidSED <device>\n");
    std::printf("       Verify whether the given device is SED or not\n");
    std::printf("\n   --listLockingRanges <password> <device>\n");
    std::printf("       List all Locking Ranges\n");
    std::printf("\n   --listLockingRange <0...n> <password> <device>\n");
    std::printf("       List all Locking Ranges\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf("\n   --rekeyLockingRange <0...n> <password> <device>\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf("       Rekey Locking Range\n");
    std::printf("\n   --setBandsEnabled <password> <device>\n");
    std::printf("       Set Enabled for all Locking Ranges\n");
    std::printf("       (passwort = \"\" for MSID) \n");
    std::printf("\n   --setBandEnabled <0...n> <password> <device>\n");
    std::printf("       Set Enabled for Locking Range[n]\n");
    std::printf("       (passwort = \"\" for MSID) \n");
    std::printf("\n   --eraseLockingRange <0...n> <password> <device>\n");
    std::printf("       Erase a Locking Range\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf(
        "\n   --setupLockingRange <0...n> <RangeStart> <RangeLength> <password> <device>\n");
    std::printf("       Setup a new Locking Range\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf("\n   --initialSetup <SIDpassword> <device>\n");
    std::printf("       Setup the device for use with tcgtool\n");
    std::printf("       <SIDpassword> is new SID and Admin1 password\n");
    std::printf("\n   --setSIDPassword <SIDpassword> <newSIDpassword> <device> \n");
    std::printf("       Change the SID password\n");
    std::printf("\n   --setAdmin1Pwd <Admin1password> <newAdmin1password> <device> \n");
    std::printf("       Change the Admin1 password\n");
    std::printf(
        "\n   --setPassword <oldpassword, \"\" for MSID> <userid> <newpassword> <device> \n");
    std::printf("       Change password for userid:\n");
    std::printf("       Enteprise: \"EraseMaster\" or \"BandMaster<n>\"\n");
    std::printf("       Opal: \"Admin<n>\" or \"User<n>\"\n");
    std::printf("\n   --setLockingRange <0...n> <RW|RO|LK> <Admin1password> <device> \n");
    std::printf("       Set the status of a Locking Range\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf("\n   --enableLockingRange <0...n> <Admin1password> <device> \n");
    std::printf("       Enable a Locking Range\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf("\n   --disableLockingRange <0...n> <Admin1password> <device> \n");
    std::printf("       Disable a Locking Range\n");
    std::printf("       0 = GLobal 1..n  = LRn \n");
    std::printf("\n   --setMBREnable <on|off> <Admin1password> <device> \n");
    std::printf("       Enable|Disable MBR shadowing \n");
    std::printf("\n   --setMBRDone <on|off> <Admin1password> <device> \n");
    std::printf("       set|unset MBRDone\n");
    std::printf("\n   --loadPBAimage <Admin1password> <file> <device> \n");
    std::printf("       Write <file> to MBR Shadow area\n");
    std::printf("\n   --revertTPer <SIDpassword> <device>\n");
    std::printf("       set the device back to factory defaults \n");
    std::printf("       This **ERASES ALL DATA** \n");
    std::printf("\n   --revertNoErase <Admin1password> <device>\n");
    std::printf("       deactivate the Locking SP \n");
    std::printf("       without erasing the data \n");
    std::printf("       on GLOBAL RANGE *ONLY* \n");
    std::printf("\n   --yesIreallywanttoERASEALLmydatausingthePSID <PSID> <device>\n");
    std::printf("       revert the device using the PSID *ERASING* *ALL* the data\n");
    std::printf("\n   --printDefaultPassword <device>\n");
    std::printf("       print MSID \n");
}
