#include "QUrl+Extension.h"

#include <QStringList>

namespace Extension {

QMap<QString, QString> parseQuery(const QUrl &url)
{
    QMap<QString, QString> entries;
    if (!url.hasQuery())
        return entries;
    const QStringList pieces = url.query(QUrl::FullyEncoded).split(u'&');
    for (const QString &piece : pieces) {
        const QStringList parts = piece.split(u'=');
        if (parts.size() == 2 && !parts.first().isEmpty())
            entries.insert(parts.first(), parts.last());
    }
    return entries;
}

} // namespace Extension
