// Fuzzes the type-list and activity-list decodings the way the client reaches
// them: the bytes arrive as a 200 JSON answer, go through the client's response
// decoder, and whatever it yields is decoded as types and as activities; every
// decoded activity is then written back as its upload body.
#include "ActivityType.h"
#include "ZVClient.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <cstdint>

namespace {

// Touches every record of a decoded type tree, the way the screens walk it.
size_t walk(const QList<ActivityTypePtr> &types, int depth = 0)
{
    size_t count = 0;
    for (const ActivityTypePtr &type : types) {
        if (!type)
            __builtin_trap();
        count += size_t(type->name().size() + type->imageId().size()) + type->order() % 2;
        if (const auto *group = dynamic_cast<const ActivityTypeGroup *>(type.get())) {
            if (group->children()) {
                // A cycle would recurse without end: the decoder promises none.
                if (depth > 100000)
                    __builtin_trap();
                count += walk(*group->children(), depth + 1);
            }
        }
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The client's leveled log stays off, as it is in the program.
    QLoggingCategory::setFilterRules(QStringLiteral("zorvel.network=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const HTTPURLResponse response(QUrl(QStringLiteral("http://127.0.0.1/oauth/api/types")), 200,
                                   {{"Content-Type", "application/json; charset=utf-8"}});
    const MSJSONResponseSerializerWithData serializer;
    std::optional<Error> error;
    const std::optional<QJsonValue> object = serializer.responseObjectForResponse(response, body, &error);
    if (error || !object)
        return 0;

    volatile size_t sink = walk(ActivityType::typesFromJSON(*object));
    for (const ActivityPtr &activity : Activity::activitiesFromJSON(*object)) {
        if (!activity)
            __builtin_trap();
        const QJsonObject dict = activity->dict();
        sink = sink + size_t(QJsonDocument(dict).toJson(QJsonDocument::Compact).size());
        for (const IntervalPtr &interval : activity->intervals())
            sink = sink + size_t(interval ? interval->duration() : 0);
    }
    (void)sink;
    return 0;
}
