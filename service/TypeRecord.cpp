#include "TypeRecord.h"

using namespace Qt::StringLiterals;

QJsonObject TypeRecord::toJson() const
{
    return {
        {u"id"_s, id},           {u"name"_s, name},
        {u"group"_s, group},     {u"color"_s, color},
        {u"order"_s, order},     {u"parentId"_s, parentId ? QJsonValue(*parentId) : QJsonValue(QJsonValue::Null)},
        {u"imageId"_s, imageId},
    };
}
