#pragma once

#include "ui/media/MediaContext.h"

#include <QMouseEvent>
#include <QWidget>

class AudioPlayer;
class QLabel;
class QToolButton;
class Scrubber;

/// A recording of a note in the preview: a small player on a rounded tinted background with
/// play/pause, a scrubber, the current time and the length (or the player's problem in
/// orange), and a transcribe button when the AI can. The block owns its player: it loads the
/// file when shown and stops when hidden or gone, so leaving the preview stops playback.
class AudioBlockView : public QWidget
{
    Q_OBJECT
public:
    AudioBlockView(const QString &path, MediaContext media, QWidget *parent = nullptr);
    ~AudioBlockView() override;

    QString path() const { return m_path; }
    AudioPlayer *player() const { return m_player; }
    QToolButton *playButton() const { return m_play; }
    QToolButton *transcribeButton() const { return m_transcribe; }
    Scrubber *scrubber() const { return m_scrubber; }
    QLabel *timeLabel() const { return m_current; }
    QLabel *durationLabel() const { return m_total; }
    QLabel *problemLabel() const { return m_problem; }

protected:
    // A click on a media block is taken by it: it does not switch the editor to editing.
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void applyLook();

    QString m_path;
    MediaContext m_media;
    QString m_file;
    AudioPlayer *m_player = nullptr;
    QToolButton *m_play = nullptr;
    Scrubber *m_scrubber = nullptr;
    QWidget *m_times = nullptr;
    QLabel *m_current = nullptr;
    QLabel *m_total = nullptr;
    QLabel *m_problem = nullptr;
    QToolButton *m_transcribe = nullptr;
};
