// An activity type or group as the reference service stores and sends it:
// one element of the flat types list, nesting given only by parentId.
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

struct TypeRecord
{
    QString id;
    QString name;
    bool group = false;
    int color = 0; // 0xRRGGBB
    int order = 0;
    std::optional<QString> parentId;
    QString imageId;

    QJsonObject toJson() const;
};
