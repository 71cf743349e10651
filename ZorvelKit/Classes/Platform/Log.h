// Logging categories: "zorvel" is the system log (on by default); the service
// client's leveled log "zorvel.network" is off until someone turns it on.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcZorvel)
Q_DECLARE_LOGGING_CATEGORY(lcNetwork)
