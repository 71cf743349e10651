// Small additions to QUrl: reading a query into key/value pairs the way the
// client's request replay needs it.
#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

namespace Extension {

// The query as written in the URL (percent-escapes kept) split at "&" and then
// at "="; only pieces of exactly two parts with a non-empty key count, and a
// later key replaces an earlier one. "a=1&b=2&b=3&c&=4&d=x=y" gives {a: 1, b: 3}.
QMap<QString, QString> parseQuery(const QUrl &url);

} // namespace Extension
