// Reading a URL's query into key/value pairs: which pieces count, and that
// escapes are kept as written.
#include "QUrl+Extension.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Query = QMap<QString, QString>;

class TestQUrlExtension : public QObject
{
    Q_OBJECT

private slots:
    void parseQuery_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<Query>("expected");

        QTest::newRow("mixed pieces") << u"http://h/p?a=1&b=2&b=3&c&=4&d=x=y"_s
                                      << Query {{u"a"_s, u"1"_s}, {u"b"_s, u"3"_s}};
        QTest::newRow("no query") << u"http://h/p"_s << Query {};
        QTest::newRow("empty query") << u"http://h/p?"_s << Query {};
        QTest::newRow("empty value counts") << u"http://h/p?a=&b=1"_s << Query {{u"a"_s, QString()}, {u"b"_s, u"1"_s}};
        QTest::newRow("escapes kept") << u"http://h/p?k%20x=v%26w%3D&e=a@b.c"_s
                                      << Query {{u"k%20x"_s, u"v%26w%3D"_s}, {u"e"_s, u"a@b.c"_s}};
        QTest::newRow("fragment is not query") << u"http://h/p?a=1#b=2"_s << Query {{u"a"_s, u"1"_s}};
    }
    void parseQuery()
    {
        QFETCH(QString, url);
        QFETCH(Query, expected);
        const Query actual = Extension::parseQuery(QUrl(url));
        QCOMPARE(actual.keys(), expected.keys());
        QCOMPARE(actual.values(), expected.values());
    }
};

QTEST_GUILESS_MAIN(TestQUrlExtension)
#include "tst_qurlextension.moc"
