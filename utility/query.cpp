// --query: controllers, arrays with their members and the spares, disks, or one array or one
// disk in detail.

#include <cstdio>

#include "commands.h"
#include "help.h"
#include "option_parser.h"
#include "printouts.h"
#include "selection.h"
#include "values.h"

namespace {

const LongOption kQueryOptions[] = {
    {"controllers", kNoArgument, nullptr, 'c'},
    {"devices", kNoArgument, nullptr, 'e'},
    {"arrays", kNoArgument, nullptr, 'a'},
    {"detail", kRequiredArgument, nullptr, 'p'},
    {nullptr, 0, nullptr, 0},
};

int listArrays() {
    std::printf("ID TID  Capacity(GB) Type    Status         Progress  CachePolicy Name\n");
    printRule();
    const int count = g_ldCount < kDeviceListMax ? g_ldCount : kDeviceListMax;
    int number = 0;
    for (int i = 0; i < count; ++i) {
        ARK_VD_INFO array;
        if (!readDeviceInfo(g_ldList[i], array) || array.type != ARK_VD_TYPE_ARRAY) continue;
        printArrayRow(++number, array);
        ARK_VD_INFO target;
        if (array.array.transform_tgt != 0 && readDeviceInfo(array.array.transform_tgt, target)) {
            std::printf("----->\n");
            printArrayRow(number, target);
        }
    }
    printSpareRows();
    return 0;
}

int showArray(const char* reference) {
    const uint32_t id = parseArrayId(reference);
    ARK_VD_INFO array;
    if (id == 0 || !readDeviceInfo(id, array)) {
        std::printf("fail to get array info\n");
        return 1;
    }
    printArrayDetail(array);
    ARK_VD_INFO target;
    if (array.array.transform_tgt != 0 && readDeviceInfo(array.array.transform_tgt, target)) {
        std::printf("\nExpanding/migrating to:\n");
        printRule();
        printArrayDetail(target);
    }
    return 0;
}

int listDisks() {
    std::printf("ID      Capacity(GB)   max_free  total_free  Model Number          Status\n");
    printRule();
    const int count = g_pdCount < kDeviceListMax ? g_pdCount : kDeviceListMax;
    for (int i = 0; i < count; ++i) {
        ARK_VD_INFO disk;
        if (!readDeviceInfo(g_pdList[i], disk)) continue;
        const Gigabytes c = sectorsToGigabytes(disk.capacity);
        const Gigabytes m = sectorsToGigabytes(disk.disk.max_free);
        const Gigabytes t = sectorsToGigabytes(disk.disk.total_free);
        std::printf("%s\t%7llu.%03u %7llu.%03u %7llu.%03u  %-22s%-11s\n",
                    arkDiskLocationName(disk.disk).c_str(), c.whole, c.thousandths, m.whole,
                    m.thousandths, t.whole, t.thousandths, arkFieldText(disk.disk.model).c_str(),
                    arkDiskStateText(disk.disk.flags));
    }
    return 0;
}

int showDisk(const char* location) {
    const uint32_t id = findDiskByLocation(location);
    ARK_VD_INFO disk;
    if (id == 0 || !readDeviceInfo(id, disk)) return 1;
    printDiskDetail(disk);
    return 0;
}

}  // namespace

int queryCommand(int argc, char** argv) {
    int what = 0;
    const char* detail = nullptr;
    for (;;) {
        const int option = getoptLong(argc, argv, "ceap:", kQueryOptions);
        if (option == -1) break;
        if (option == 'a' || option == 'c' || option == 'e') what = option;
        if (option == 'p') detail = g_optArg;
    }
    switch (what) {
        case 'c':
            return printControllers();
        case 'a':
            return detail ? showArray(detail) : listArrays();
        case 'e':
            return detail ? showDisk(detail) : listDisks();
        default:
            printHelp("query");
            return 1;
    }
}
