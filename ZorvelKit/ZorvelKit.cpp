#include "ZorvelKit.h"

extern "C" {
const char ZorvelKitVersionString[] = "@(#)PROGRAM:ZorvelKit  PROJECT:ZorvelKit-" ZORVELKIT_VERSION "\n";
const double ZorvelKitVersionNumber = 1.0;
}
