#pragma once

#include <QLabel>

#include <chrono>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

/// A transient message in a capsule that floats over its parent screen: it slides in and
/// fades in over 0.2 s (ease-out) and goes away after `duration`. A newer message restarts
/// the clock, so an older message's timer never cuts a newer one short.
class Notice : public QLabel
{
    Q_OBJECT
public:
    enum class Edge { Top, Bottom };

    static constexpr std::chrono::milliseconds defaultDuration { 2500 };
    static constexpr std::chrono::milliseconds animationDuration { 200 };

    /// `offset`: distance from the parent's top edge (Edge::Top) or bottom edge (Edge::Bottom).
    Notice(Edge edge, int offset, QWidget *parent);

    /// Shows `message` for `duration` (tests shorten it).
    void showMessage(const QString &message);
    QString message() const { return m_message; }
    void setDuration(std::chrono::milliseconds duration) { m_duration = duration; }

Q_SIGNALS:
    void messageChanged(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void clear();
    QPoint restingPosition() const;
    void place();

    Edge m_edge;
    int m_offset;
    QString m_message;
    quint64 m_generation = 0;
    std::chrono::milliseconds m_duration = defaultDuration;
    QGraphicsOpacityEffect *m_opacity = nullptr;
    QPropertyAnimation *m_slide = nullptr;
    QPropertyAnimation *m_fade = nullptr;
};
