// The HTTP layer's pure parts: query and body encoding, default headers, the
// manager's base URL, and the JSON response checks with their error texts.
#include "HTTPJSONRequestSerializer.h"
#include "HTTPJSONResponseSerializer.h"
#include "HTTPSessionManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

HTTPURLResponse responseWith(int status, const QByteArray &contentType)
{
    HTTPURLResponse::HeaderList headers;
    if (!contentType.isEmpty())
        headers.append({"Content-Type", contentType});
    return HTTPURLResponse(QUrl(u"http://127.0.0.1:1/x"_s), status, headers);
}

} // namespace

class TestHTTPSerializers : public QObject
{
    Q_OBJECT

private slots:
    void queryString_data()
    {
        QTest::addColumn<QVariantMap>("parameters");
        QTest::addColumn<QString>("expected");

        QTest::newRow("sorted pairs") << QVariantMap {{u"b"_s, 2}, {u"a"_s, u"x y"_s}} << u"a=x%20y&b=2"_s;
        QTest::newRow("delimiters escaped") << QVariantMap {{u"p"_s, u"&#+%=?"_s}} << u"p=%26%23%2B%25%3D%3F"_s;
        QTest::newRow("non-ASCII as UTF-8") << QVariantMap {{u"n"_s, u"Zoë"_s}} << u"n=Zo%C3%AB"_s;
        QTest::newRow("e-mail unchanged")
            << QVariantMap {{u"u"_s, u"first.last@example.org"_s}} << u"u=first.last@example.org"_s;
        QTest::newRow("list") << QVariantMap {{u"k"_s, QVariantList {1, 2}}} << u"k%5B%5D=1&k%5B%5D=2"_s;
        QTest::newRow("map") << QVariantMap {{u"m"_s, QVariantMap {{u"s"_s, true}}}} << u"m%5Bs%5D=true"_s;
        QTest::newRow("empty") << QVariantMap {} << QString();
    }
    void queryString()
    {
        QFETCH(QVariantMap, parameters);
        QFETCH(QString, expected);
        QCOMPARE(HTTPRequestSerializer::queryStringFromParameters(parameters), expected);
    }

    void requestEncoding_data()
    {
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("url");
        QTest::addColumn<std::optional<QVariantMap>>("parameters");
        QTest::addColumn<QString>("expectedURL");
        QTest::addColumn<QByteArray>("expectedBody");
        QTest::addColumn<QString>("expectedContentType");

        const QVariantMap params {{u"a"_s, 1}, {u"b"_s, u"x&y"_s}};
        QTest::newRow("JSON GET into query") << true << u"GET"_s << u"http://h/p"_s << std::optional(params)
                                             << u"http://h/p?a=1&b=x%26y"_s << QByteArray() << QString();
        QTest::newRow("GET appends to query") << true << u"GET"_s << u"http://h/p?z=0"_s << std::optional(params)
                                              << u"http://h/p?z=0&a=1&b=x%26y"_s << QByteArray() << QString();
        QTest::newRow("JSON POST body") << true << u"POST"_s << u"http://h/p"_s << std::optional(params)
                                        << u"http://h/p"_s << QByteArray(R"({"a":1,"b":"x&y"})")
                                        << u"application/json; charset=utf-8"_s;
        QTest::newRow("JSON PUT body") << true << u"put"_s << u"http://h/p"_s << std::optional(params)
                                       << u"http://h/p"_s << QByteArray(R"({"a":1,"b":"x&y"})")
                                       << u"application/json; charset=utf-8"_s;
        QTest::newRow("POST without parameters") << true << u"POST"_s << u"http://h/p"_s << std::optional<QVariantMap>()
                                                 << u"http://h/p"_s << QByteArray() << QString();
        QTest::newRow("form POST body") << false << u"POST"_s << u"http://h/p"_s << std::optional(params)
                                        << u"http://h/p"_s << QByteArray("a=1&b=x%26y")
                                        << u"application/x-www-form-urlencoded"_s;
    }
    void requestEncoding()
    {
        QFETCH(bool, json);
        QFETCH(QString, method);
        QFETCH(QString, url);
        QFETCH(std::optional<QVariantMap>, parameters);
        QFETCH(QString, expectedURL);
        QFETCH(QByteArray, expectedBody);
        QFETCH(QString, expectedContentType);

        const std::unique_ptr<HTTPRequestSerializer> serializer
            = json ? std::make_unique<HTTPJSONRequestSerializer>() : std::make_unique<HTTPRequestSerializer>();
        const HTTPRequest request = serializer->requestWithMethod(method, QUrl(url), parameters);
        QCOMPARE(request.HTTPMethod(), method.toUpper());
        QCOMPARE(request.url().toString(QUrl::FullyEncoded), expectedURL);
        QCOMPARE(request.HTTPBody(), expectedBody);
        QCOMPARE(request.valueForHTTPHeaderField(u"content-type"_s).value_or(QString()), expectedContentType);
    }

    void defaultHeaders()
    {
        HTTPJSONRequestSerializer serializer;
        serializer.setAuthorizationHeaderFieldWithBearerToken(u"abc"_s);
        serializer.setValueForHTTPHeaderField(u"1"_s, u"X-Extra"_s);
        HTTPRequest request = serializer.requestWithMethod(u"GET"_s, QUrl(u"http://h/"_s), std::nullopt);
        QCOMPARE(request.valueForHTTPHeaderField(u"authorization"_s), u"Bearer abc"_s);
        QCOMPARE(request.valueForHTTPHeaderField(u"x-extra"_s), u"1"_s);

        // Replacing a field leaves one value, whatever the case of its name.
        serializer.setAuthorizationHeaderFieldWithUsername(u"androidClient"_s, u"wombat"_s);
        request = serializer.requestWithMethod(u"GET"_s, QUrl(u"http://h/"_s), std::nullopt);
        QCOMPARE(request.valueForHTTPHeaderField(u"Authorization"_s), u"Basic YW5kcm9pZENsaWVudDp3b21iYXQ="_s);
        const auto authorizations = std::count_if(
            request.allHTTPHeaderFields().cbegin(), request.allHTTPHeaderFields().cend(),
            [](const auto &header) { return header.first.compare("authorization", Qt::CaseInsensitive) == 0; });
        QCOMPARE(authorizations, 1);

        serializer.clearAuthorizationHeader();
        request = serializer.requestWithMethod(u"GET"_s, QUrl(u"http://h/"_s), std::nullopt);
        QVERIFY(!request.valueForHTTPHeaderField(u"Authorization"_s));
    }

    void baseURL_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");

        QTest::newRow("slash added") << u"http://h:1/oauth/api"_s << u"activities"_s
                                     << u"http://h:1/oauth/api/activities"_s;
        QTest::newRow("slash kept") << u"http://h:1/oauth/api/"_s << u"activities/A-1"_s
                                    << u"http://h:1/oauth/api/activities/A-1"_s;
        QTest::newRow("root") << u"http://h:1"_s << u"types"_s << u"http://h:1/types"_s;
        QTest::newRow("absolute wins") << u"http://h:1/oauth/api"_s << u"http://h:1//oauth/token?a=b"_s
                                       << u"http://h:1//oauth/token?a=b"_s;
        QTest::newRow("no base") << QString() << u"http://h:1//oauth/token"_s << u"http://h:1//oauth/token"_s;
    }
    void baseURL()
    {
        QFETCH(QString, base);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        const HTTPSessionManager manager {QUrl(base)};
        QCOMPARE(manager.URLForString(path).toString(QUrl::FullyEncoded), expected);
    }

    void responseValidation_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<std::optional<QJsonValue>>("expectedObject");
        QTest::addColumn<qint64>("expectedCode"); // 0: no error
        QTest::addColumn<QString>("expectedDescription");
        QTest::addColumn<bool>("carriesResponse");

        using S = HTTPJSONResponseSerializer;
        const std::optional<QJsonValue> none;
        QTest::newRow("200 object") << 200 << QByteArray("application/json") << QByteArray(R"({"a":1})")
                                    << std::optional<QJsonValue>(QJsonObject {{u"a"_s, 1}}) << qint64(0) << QString()
                                    << false;
        QTest::newRow("201 array, charset and case")
            << 201 << QByteArray("Application/JSON; charset=UTF-8") << QByteArray("[1]")
            << std::optional<QJsonValue>(QJsonArray {1}) << qint64(0) << QString() << false;
        QTest::newRow("bare number, text/json") << 200 << QByteArray("text/json") << QByteArray(" 42 ")
                                                << std::optional<QJsonValue>(42) << qint64(0) << QString() << false;
        QTest::newRow("bare string, text/javascript")
            << 299 << QByteArray("text/javascript") << QByteArray(R"("x")") << std::optional<QJsonValue>(u"x"_s)
            << qint64(0) << QString() << false;
        QTest::newRow("204 empty, no type")
            << 204 << QByteArray() << QByteArray() << none << qint64(0) << QString() << false;
        QTest::newRow("empty body, any type")
            << 200 << QByteArray("text/html") << QByteArray() << none << qint64(0) << QString() << false;
        QTest::newRow("wrong type") << 200 << QByteArray("text/html") << QByteArray("<p>hi</p>") << none
                                    << qint64(S::UnacceptableContentType)
                                    << u"Request failed: unacceptable content-type: text/html"_s << true;
        QTest::newRow("no type") << 200 << QByteArray() << QByteArray("[]") << none
                                 << qint64(S::UnacceptableContentType)
                                 << u"Request failed: unacceptable content-type: "_s << true;
        QTest::newRow("500 beats wrong type")
            << 500 << QByteArray("text/html") << QByteArray("<h1>oops</h1>") << none
            << qint64(S::UnacceptableStatusCode) << u"Request failed: internal server error (500)"_s << true;
        QTest::newRow("400") << 400 << QByteArray("application/json") << QByteArray("{}") << none
                             << qint64(S::UnacceptableStatusCode) << u"Request failed: bad request (400)"_s << true;
        QTest::newRow("401") << 401 << QByteArray("application/json") << QByteArray() << none
                             << qint64(S::UnacceptableStatusCode) << u"Request failed: unauthorized (401)"_s << true;
        QTest::newRow("404") << 404 << QByteArray("text/plain") << QByteArray("nope") << none
                             << qint64(S::UnacceptableStatusCode) << u"Request failed: not found (404)"_s << true;
        QTest::newRow("304") << 304 << QByteArray() << QByteArray() << none << qint64(S::UnacceptableStatusCode)
                             << u"Request failed: not modified (304)"_s << true;
        QTest::newRow("unknown 599") << 599 << QByteArray() << QByteArray() << none << qint64(S::UnacceptableStatusCode)
                                     << u"Request failed: server error (599)"_s << true;
        QTest::newRow("2xx not JSON") << 200 << QByteArray("application/json") << QByteArray("{oops") << none
                                      << qint64(S::InvalidJSON) << QString() << false;
        QTest::newRow("2xx two values") << 200 << QByteArray("application/json") << QByteArray("1, 2") << none
                                        << qint64(S::InvalidJSON) << QString() << false;
    }
    void responseValidation()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(std::optional<QJsonValue>, expectedObject);
        QFETCH(qint64, expectedCode);
        QFETCH(QString, expectedDescription);
        QFETCH(bool, carriesResponse);

        const HTTPJSONResponseSerializer serializer;
        std::optional<Error> error;
        const std::optional<QJsonValue> object
            = serializer.responseObjectForResponse(responseWith(status, contentType), body, &error);
        QCOMPARE(object, expectedObject);
        if (expectedCode == 0) {
            QVERIFY2(!error, qPrintable(error ? error->fullDescription() : QString()));
            return;
        }
        QVERIFY(error);
        QCOMPARE(error->domain(), HTTPResponseSerializerErrorDomain);
        QCOMPARE(error->code(), expectedCode);
        if (!expectedDescription.isEmpty())
            QCOMPARE(error->localizedDescription(), expectedDescription);
        const QVariant response = error->userInfo().value(HTTPResponseSerializerResponseKey);
        QCOMPARE(response.canConvert<HTTPURLResponse>(), carriesResponse);
        if (carriesResponse)
            QCOMPARE(response.value<HTTPURLResponse>().statusCode(), status);
    }
};

QTEST_GUILESS_MAIN(TestHTTPSerializers)
#include "tst_httpserializers.moc"
