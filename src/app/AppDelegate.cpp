#include "app/AppDelegate.h"

#include "app/AppInfo.h"

#include <QWidget>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{
}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::launch()
{
    m_panel = std::make_unique<QWidget>();
    m_panel->setWindowTitle(AppInfo::name());
    m_panel->resize(380, 520);
    m_panel->show();
    return true;
}
