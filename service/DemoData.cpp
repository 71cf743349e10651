#include "DemoData.h"

#include <QUuid>

using namespace Qt::StringLiterals;

namespace {
QString typeId(int n)
{
    return u"5E6A1C00-0000-4000-8000-%1"_s.arg(n, 12, 16, QLatin1Char('0')).toUpper();
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
} // namespace

QList<TypeRecord> DemoData::types()
{
    const QString projects = typeId(5);
    const QString documents = typeId(8);
    const QString archive = typeId(11);
    return {
        {typeId(1), u"Work"_s, false, 0x3B82F6, 1, std::nullopt, u"work"_s},
        {typeId(2), u"Meeting"_s, false, 0xF59E0B, 2, std::nullopt, u"meeting"_s},
        {typeId(3), u"Email"_s, false, 0x10B981, 3, std::nullopt, u"email"_s},
        {typeId(4), u"Phone"_s, false, 0xEF4444, 4, std::nullopt, u"phone"_s},
        {projects, u"Projects"_s, true, 0x6366F1, 5, std::nullopt, u"folder"_s},
        {typeId(6), u"Code"_s, false, 0x8B5CF6, 1, projects, u"code"_s},
        {typeId(7), u"Design"_s, false, 0xEC4899, 2, projects, u"design"_s},
        {documents, u"Documents"_s, true, 0x14B8A6, 3, projects, u"folder"_s},
        {typeId(9), u"Reading"_s, false, 0x0EA5E9, 1, documents, u"reading"_s},
        {typeId(10), u"Writing"_s, false, 0x84CC16, 2, documents, u"writing"_s},
        {archive, u"Archive"_s, true, 0x64748B, 6, std::nullopt, u"folder"_s},
        {typeId(12), u"Travel"_s, false, 0xF97316, 7, std::nullopt, u"travel"_s},
        {typeId(13), u"Lunch"_s, false, 0xEAB308, 8, std::nullopt, u"lunch"_s},
        {typeId(14), u"Sport"_s, false, 0x22C55E, 9, std::nullopt, u"sport"_s},
        {typeId(15), u"Study"_s, false, 0xA855F7, 10, std::nullopt, u"study"_s},
    };
}

QList<ActivityRecord> DemoData::activities(qint64 nowSeconds)
{
    ActivityRecord running;
    running.id = newId();
    running.typeId = typeId(1);
    running.comment = u"Weekly report"_s;
    running.status = u"running"_s;
    running.start = nowSeconds - 25 * 60;

    ActivityRecord paused;
    paused.id = newId();
    paused.typeId = typeId(6);
    paused.comment = QString();
    paused.status = u"paused"_s;
    paused.intervals = {
        {newId(), nowSeconds - 3 * 3600, nowSeconds - 2 * 3600},
        {newId(), nowSeconds - 90 * 60, nowSeconds - 60 * 60},
    };
    paused.start = paused.intervals.last().from; // a paused activity keeps the start of its last span
    return {running, paused};
}
