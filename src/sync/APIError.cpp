#include "sync/APIError.h"

#include "base/Localization.h"

QString APIError::description() const
{
    switch (kind) {
    case Kind::Transport:
        return L("error.transport", message);
    case Kind::NoServer:
        return L("error.noServer");
    case Kind::Unauthorized:
        return L("error.unauthorized");
    case Kind::Server:
        break;
    }
    if (status == 402)
        return L("error.syncNotIncluded");
    if (status == 429)
        return L("error.tooManyRequests");
    if (status == 507)
        return message.contains(QLatin1String("note storage")) ? L("error.notesFull")
                                                               : L("error.mediaFull");
    if (!message.isEmpty())
        return message;
    return L("error.server", status);
}

QString SignedOutError::description() const
{
    return L("editor.shareLink.signedOut");
}

QString describe(const ClientError &error)
{
    return std::visit([](const auto &e) { return e.description(); }, error);
}

const APIError *asAPIError(const ClientError &error)
{
    return std::get_if<APIError>(&error);
}
