#pragma once

#include "ui/account/AccountPart.h"

class AppSettings;
class QLabel;

/// The screen's last line, in caption type: the app's name, version and build, then " · " and
/// a link to the configured server (its address without "https://") when that is a web
/// address.
class VersionLine : public AccountPart
{
    Q_OBJECT
public:
    VersionLine(AppSettings *settings, QWidget *parent);

protected:
    void render() override;

private:
    AppSettings *m_settings;
    QLabel *m_line = nullptr;
};
