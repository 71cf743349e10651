// The token's archive: exactly three keys, null for an absent field, and a
// decoder that turns any other bytes into "no token" rather than a wrong one.
#include "ZVToken.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

class TestZVToken : public QObject
{
    Q_OBJECT

private slots:
    void encodingWritesThreeKeysWithNullForAbsent()
    {
        ZVToken token;
        token.setAccessToken(u"access"_s);
        token.setExpiresAt(QDateTime::fromMSecsSinceEpoch(1'800'000'000'123, Qt::UTC));
        const QJsonObject archive = QJsonDocument::fromJson(token.encode()).object();
        QCOMPARE(archive.keys(), (QStringList {u"accessToken"_s, u"expiresAt"_s, u"refreshToken"_s}));
        QCOMPARE(archive.value("accessToken"_L1), u"access"_s);
        QVERIFY(archive.value("refreshToken"_L1).isNull());
        QCOMPARE(archive.value("expiresAt"_L1), u"2027-01-15T08:00:00.123Z"_s);

        const QJsonObject empty = QJsonDocument::fromJson(ZVToken().encode()).object();
        QCOMPARE(empty.size(), 3);
        for (const QJsonValue &value : empty)
            QVERIFY(value.isNull());
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<bool>("isToken");
        QTest::addColumn<std::optional<QString>>("accessToken");
        QTest::addColumn<std::optional<QString>>("refreshToken");
        QTest::addColumn<std::optional<QDateTime>>("expiresAt");
        const std::optional<QString> none;
        const std::optional<QDateTime> noDate;
        const QDateTime expiry = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

        QTest::newRow("missing keys leave fields absent")
            << R"({"refreshToken": "r"})"_ba << true << none << std::optional(u"r"_s) << noDate;
        QTest::newRow("an empty object is a token without fields") << "{}"_ba << true << none << none << noDate;
        QTest::newRow("date without milliseconds") << R"({"accessToken": "a", "expiresAt": "2027-01-15T08:00:00Z"})"_ba
                                                   << true << std::optional(u"a"_s) << none << std::optional(expiry);
        QTest::newRow("date with an offset is the same instant")
            << R"({"expiresAt": "2027-01-15T10:00:00+02:00"})"_ba << true << none << none << std::optional(expiry);
        QTest::newRow("unknown keys are ignored")
            << R"({"accessToken": "a", "scope": ["x"]})"_ba << true << std::optional(u"a"_s) << none << noDate;
        QTest::newRow("a bare string") << R"("accessToken")"_ba << false << none << none << noDate;
        QTest::newRow("a token as an object")
            << R"({"accessToken": {"value": "a"}})"_ba << false << none << none << noDate;
        QTest::newRow("a date as a number") << R"({"expiresAt": 1800000000})"_ba << false << none << none << noDate;
        QTest::newRow("a truncated archive") << "{\"accessToken\": \"a"_ba << false << none << none << noDate;
        QTest::newRow("deeply nested") << QByteArray(100'000, '[') << false << none << none << noDate;
    }

    void decoding()
    {
        QFETCH(QByteArray, archive);
        QFETCH(bool, isToken);
        const auto token = ZVToken::decode(archive);
        QCOMPARE(bool(token), isToken);
        if (!token)
            return;
        QTEST(token->accessToken(), "accessToken");
        QTEST(token->refreshToken(), "refreshToken");
        QTEST(token->expiresAt(), "expiresAt");
    }
};

QTEST_GUILESS_MAIN(TestZVToken)
#include "tst_zvtoken.moc"
