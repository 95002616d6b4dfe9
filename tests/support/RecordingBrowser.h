#pragma once

#include "platform/Browser.h"

#include <QList>
#include <QUrl>

#include <functional>

/// A browser for tests: records every address and optionally acts on it (for example by
/// performing the redirect a real browser would make).
class RecordingBrowser final : public Browser
{
public:
    bool open(const QUrl &url) override
    {
        opened.append(url);
        if (onOpen)
            onOpen(url);
        return succeeds;
    }

    QList<QUrl> opened;
    std::function<void(const QUrl &)> onOpen;
    bool succeeds = true;
};
