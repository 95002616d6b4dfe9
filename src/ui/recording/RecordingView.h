#pragma once

#include "media/AudioRecorder.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

/// Takes the editor's content while the user records a voice memo into the note. Owns one
/// recorder and starts it as soon as it is first shown; shows waiting, denied (with the
/// desktop's sound settings when known), recording (red dot, clock, Stop on Return) or failed;
/// Cancel (Escape) is always there. Going away for any reason discards an unfinished take.
class RecordingView : public QWidget
{
    Q_OBJECT
public:
    explicit RecordingView(AudioRecorder::Options options = {}, QWidget *parent = nullptr);
    ~RecordingView() override;

    AudioRecorder *recorder() const { return m_recorder; }
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *settingsButton() const { return m_settings; }
    QLabel *clock() const { return m_clock; }
    /// The state area's page for the recorder's status ("waiting", "denied", "recording",
    /// "failed"), for tests.
    QString page() const;

    void stop();
    void cancel();

Q_SIGNALS:
    /// A take was stopped and saved (the editor imports the file).
    void finished(const QString &file, double duration);
    /// Cancelled, or stopping made no file.
    void cancelled();
    /// Around the recorder's start (a sandbox may show a permission prompt).
    void holdPanel();
    void releasePanel();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void applyLook();

    AudioRecorder *m_recorder = nullptr;
    bool m_started = false;
    QStackedWidget *m_states = nullptr;
    QWidget *m_waiting = nullptr;
    QWidget *m_denied = nullptr;
    QWidget *m_recording = nullptr;
    QWidget *m_failed = nullptr;
    QProgressBar *m_spinner = nullptr;
    QLabel *m_waitingText = nullptr;
    QLabel *m_deniedIcon = nullptr;
    QLabel *m_deniedTitle = nullptr;
    QLabel *m_deniedBody = nullptr;
    QPushButton *m_settings = nullptr;
    QLabel *m_dot = nullptr;
    QLabel *m_recordingLabel = nullptr;
    QLabel *m_clock = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_failedIcon = nullptr;
    QLabel *m_failedText = nullptr;
    QPushButton *m_cancel = nullptr;
};
