/* Loads libark.dll the way a Windows program would and runs discovery on a machine with no
 * storage port: the library must load, find nothing, and clean up. Prints one line per check
 * and exits non-zero when any fails. */
#include <stdio.h>
#include <windows.h>

typedef int(__cdecl* IntFn)(void);
typedef void(__cdecl* VoidFn)(void);
typedef int(__cdecl* DomainFn)(int);

static int failures = 0;

static void check(int ok, const char* what) {
    printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) ++failures;
}

int main(void) {
    HMODULE lib = LoadLibraryA("libark.dll");
    check(lib != NULL, "libark.dll loads");
    if (lib == NULL) return 1;

    IntFn initialize = (IntFn)(void*)GetProcAddress(lib, "arkInitialize");
    IntFn domainCount = (IntFn)(void*)GetProcAddress(lib, "arkGetDomainCount");
    VoidFn cleanup = (VoidFn)(void*)GetProcAddress(lib, "arkCleanup");
    DomainFn controllerCount = (DomainFn)(void*)GetProcAddress(lib, "arkGetControllerCount");
    check(initialize && domainCount && cleanup && controllerCount, "exports resolve by name");
    if (!initialize || !domainCount || !cleanup || !controllerCount) return 1;

    check(initialize() == -1, "arkInitialize finds no controller (-1)");
    check(domainCount() == 0, "arkGetDomainCount is 0");
    check(controllerCount(0) == -1, "a request to domain 0 fails (-1)");
    cleanup();
    /* A second discovery after cleanup opens the mutex again and still finds nothing. */
    check(initialize() == -1 && domainCount() == 0, "arkInitialize after arkCleanup finds none");
    cleanup();
    /* Reached only once arkCleanup has returned; it leaves the domain list alone. */
    check(domainCount() == 0, "arkCleanup returns");
    FreeLibrary(lib);
    return failures == 0 ? 0 : 1;
}
