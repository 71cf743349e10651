// Fuzzes the JSON response decoders with an arbitrary status, Content-Type and
// body: the plain decoder and the client's, which keeps a failed answer's body.
#include "FuzzInput.h"
#include "HTTPJSONResponseSerializer.h"
#include "ZVClient.h"

#include <QLoggingCategory>
#include <cstdint>

namespace {

void check(const HTTPJSONResponseSerializer &serializer, const HTTPURLResponse &response, const QByteArray &body)
{
    std::optional<Error> error;
    const std::optional<QJsonValue> object = serializer.responseObjectForResponse(response, body, &error);
    // Either a value, or an error, or nothing at all for an empty body; never both.
    if (object && error)
        __builtin_trap();
    if (error) {
        volatile qsizetype n = error->fullDescription().size() + error->userInfo().size();
        (void)n;
    }
    std::optional<Error> validation;
    if (!serializer.validateResponse(response, body, &validation) && !validation)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("zorvel.network=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const int status = input.take<int32_t>();
    const QByteArray contentType = input.takeBytes(96);
    const QByteArray body = input.rest();

    HTTPURLResponse::HeaderList headers;
    if (!contentType.isEmpty())
        headers.append({"Content-Type", contentType});
    const HTTPURLResponse response(QUrl(QStringLiteral("http://127.0.0.1/oauth/api/activities")), status, headers);
    volatile qsizetype n = response.MIMEType().size() + response.textEncodingName().size()
        + HTTPURLResponse::localizedStringForStatusCode(status).size();
    (void)n;

    check(HTTPJSONResponseSerializer(), response, body);
    check(MSJSONResponseSerializerWithData(), response, body);
    return 0;
}
