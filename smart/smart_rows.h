#pragma once

#include "smart_profile.h"

// The profile objects, each defined beside its rows; smartProfiles lists them in match order.
extern const SmartProfile smartProfile0;
extern const SmartProfile smartProfile1;
extern const SmartProfile smartProfile2;
extern const SmartProfile smartProfile3;
extern const SmartProfile smartProfile4;
extern const SmartProfile smartProfile5;
extern const SmartProfile smartProfile6;
extern const SmartProfile smartProfile7;
extern const SmartProfile smartProfile8;
extern const SmartProfile smartProfile9;
extern const SmartProfile smartProfile10;
extern const SmartProfile smartProfile11;
extern const SmartProfile smartProfile12;
extern const SmartProfile smartProfile13;
extern const SmartProfile smartProfile14;
extern const SmartProfile smartProfile15;
extern const SmartProfile smartProfile16;
extern const SmartProfile smartProfile17;
extern const SmartProfile smartProfile18;
extern const SmartProfile smartProfile19;
extern const SmartProfile smartProfile20;
extern const SmartProfile smartProfile21;
extern const SmartProfile smartProfile22;
extern const SmartProfile smartProfile23;
extern const SmartProfile smartProfile24;
extern const SmartProfile smartProfile25;
extern const SmartProfile smartProfile26;
extern const SmartProfile smartProfile27;
extern const SmartProfile smartProfile28;
extern const SmartProfile smartProfile29;
extern const SmartProfile smartProfile30;
extern const SmartProfile smartProfile31;
extern const SmartProfile smartProfile32;
extern const SmartProfile smartProfile33;
extern const SmartProfile smartProfile34;
extern const SmartProfile smartProfile35;
extern const SmartProfile smartProfile36;
extern const SmartProfile smartProfile37;
extern const SmartProfile smartProfile38;
extern const SmartProfile smartProfile39;
extern const SmartProfile smartProfile40;
extern const SmartProfile smartProfile41;
extern const SmartProfile smartProfile42;
extern const SmartProfile smartProfile43;
extern const SmartProfile smartProfile44;
extern const SmartProfile smartProfile45;
extern const SmartProfile smartProfile46;
extern const SmartProfile smartProfile47;
