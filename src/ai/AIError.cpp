#include "ai/AIError.h"

#include "base/Localization.h"

AIError AIError::noKey(AIProvider provider)
{
    return { Kind::NoKey, provider, 0, {} };
}

AIError AIError::http(int status, const QString &message)
{
    return { Kind::Http, AIProvider::None, status, message };
}

AIError AIError::tooLarge(const QString &limit)
{
    return { Kind::TooLarge, AIProvider::None, 0, limit };
}

AIError AIError::unavailable(const QString &message)
{
    return { Kind::Unavailable, AIProvider::None, 0, message };
}

AIError AIError::refused()
{
    return { Kind::Refused, AIProvider::None, 0, {} };
}

AIError AIError::empty()
{
    return { Kind::Empty, AIProvider::None, 0, {} };
}

AIError AIError::system(const QString &description)
{
    return { Kind::System, AIProvider::None, 0, description };
}

AIError AIError::cancelled()
{
    return { Kind::Cancelled, AIProvider::None, 0, {} };
}

QString AIError::description() const
{
    switch (kind) {
    case Kind::NoKey:
        return L("ai.error.noKey", aiProviderDisplayName(provider));
    case Kind::Http:
        return L("ai.error.http", status, message);
    case Kind::TooLarge:
        return L("ai.error.tooLarge", message);
    case Kind::Refused:
        return L("ai.error.refused");
    case Kind::Empty:
        return L("ai.error.empty");
    case Kind::Unavailable:
    case Kind::System:
    case Kind::Cancelled:
        break;
    }
    return message;
}
