// Umbrella header of libZorvelKit and its version symbols.
#pragma once

extern "C" {
// "@(#)PROGRAM:ZorvelKit  PROJECT:ZorvelKit-1"
extern const char ZorvelKitVersionString[];
extern const double ZorvelKitVersionNumber;
}
