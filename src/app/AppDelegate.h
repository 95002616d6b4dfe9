#pragma once

#include <QObject>

#include <memory>

class QWidget;

/// The composition root: owns the long-lived services and the panel.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    /// Builds the window and shows it. False when the app cannot start.
    bool launch();

private:
    std::unique_ptr<QWidget> m_panel;
};
