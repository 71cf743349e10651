#include "Log.h"

Q_LOGGING_CATEGORY(lcZorvel, "zorvel", QtDebugMsg)
// No destination is attached to the network log: every level starts off, and
// QT_LOGGING_RULES="zorvel.network=true" (or a test) turns it on.
Q_LOGGING_CATEGORY(lcNetwork, "zorvel.network", QtFatalMsg)
