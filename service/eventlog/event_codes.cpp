#include "event_codes.h"

int eventSeverity(int code) {
    switch (code) {
        case 1:   // disk removed
        case 2:   // disk plugged in
        case 3:   // disk error
        case 5:   // rebuild aborted
        case 7:   // spare took over
        case 10:  // verify aborted
        case 14:  // initialisation aborted
        case 19:  // transform aborted
        case 28:
            return kEventWarning;
        case 8:   // rebuild failed
        case 11:  // verify failed
        case 15:  // initialisation failed
        case 17:  // verify found inconsistent data
        case 20:  // transform failed
        case 22:  // SMART check failed
        case 24:  // bad sector not repaired
            return kEventError;
        default:
            return kEventInformation;
    }
}
