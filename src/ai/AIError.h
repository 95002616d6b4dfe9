#pragma once

#include "base/Result.h"
#include "settings/SettingsTypes.h"

#include <QString>

/// The error of all AI work. Its description for people comes from the message tables.
struct AIError
{
    enum class Kind {
        NoKey, ///< no key stored for `provider`
        Http, ///< the provider answered `status` with `message`
        TooLarge, ///< a file over the upload limit; `message` is the limit text ("25 MB")
        Unavailable, ///< `message` is already localized
        Refused, ///< the model refused
        Empty, ///< no usable text, or the note is gone
        System, ///< the network or the system failed; `message` is its localized description
        Cancelled, ///< the job was abandoned; never shown
    };

    Kind kind = Kind::Empty;
    AIProvider provider = AIProvider::None;
    int status = 0;
    QString message;

    static AIError noKey(AIProvider provider);
    static AIError http(int status, const QString &message);
    static AIError tooLarge(const QString &limit);
    static AIError unavailable(const QString &message);
    static AIError refused();
    static AIError empty();
    static AIError system(const QString &description);
    static AIError cancelled();

    /// The text shown to the user ("ai.error.noKey" with the provider's name, …).
    QString description() const;

    bool operator==(const AIError &) const = default;
};

template<typename T> using AIResult = Result<T, AIError>;
