#pragma once

#include <QUrl>

#include <memory>

/// Opens an address in the user's default browser (sign-in, the web dashboard).
class Browser
{
public:
    virtual ~Browser() = default;
    /// False when no browser could be started.
    virtual bool open(const QUrl &url) = 0;

    /// The desktop's default browser.
    static std::unique_ptr<Browser> create();
};
