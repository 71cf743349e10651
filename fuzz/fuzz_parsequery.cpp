// Fuzzes the query reading of the request replay with arbitrary URL text, and
// holds it to its promise: no empty key ever comes out.
#include "QUrl+Extension.h"

#include <cstdint>

namespace {

void check(const QUrl &url)
{
    const QMap<QString, QString> pairs = Extension::parseQuery(url);
    for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
        if (it.key().isEmpty())
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    check(QUrl(text));
    check(QUrl::fromEncoded(bytes));
    // The bytes as the query itself, past URL parsing of the rest.
    QUrl url(QStringLiteral("http://127.0.0.1:8765//oauth/api/activities"));
    url.setQuery(text);
    check(url);
    return 0;
}
