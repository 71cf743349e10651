// The data a fresh database starts with: the type catalogue every new account
// receives, and the demo account's two activities.
#pragma once

#include "ActivityRecord.h"
#include "TypeRecord.h"

#include <QList>

class DemoData final
{
public:
    // A dozen types, a group holding a nested group, and an empty group. The ids
    // are fixed, so that every account (and every test) sees the same ones.
    static QList<TypeRecord> types();
    // One running activity and one paused one with two intervals, relative to now.
    static QList<ActivityRecord> activities(qint64 nowSeconds);
};
