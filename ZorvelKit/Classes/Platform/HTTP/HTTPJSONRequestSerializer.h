// A request serializer that writes POST and PUT parameters as a JSON object
// with "Content-Type: application/json; charset=utf-8".
#pragma once

#include "HTTPRequestSerializer.h"

class HTTPJSONRequestSerializer final : public HTTPRequestSerializer
{
protected:
    bool encodeBody(HTTPRequest &request, const QVariantMap &parameters, std::optional<Error> *error) const override;
};
