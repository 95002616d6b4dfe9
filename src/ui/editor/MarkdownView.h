#pragma once

#include "markdown/MarkdownBlock.h"
#include "ui/media/MediaContext.h"

#include <optional>

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QToolButton;
class QVBoxLayout;

/// A note's Markdown rendered as a read-only page: one widget per block of
/// Markdown::parse(), inline styling through Markdown::inlineHtml(), clickable task boxes,
/// and media blocks for image and audio references (captions while no media context is set).
/// Holds no state beyond its text: it is rebuilt whenever the text changes. Only links and
/// task boxes take the keyboard focus; a task box is named by its task's text.
class MarkdownView : public QWidget
{
    Q_OBJECT
public:
    explicit MarkdownView(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }

    /// Called with a task box's ordinal (the number of task bullets before it) when the box is
    /// clicked. Without a handler the boxes are shown but cannot be clicked.
    void setOnToggleCheckbox(std::function<void(int)> handler);

    /// What the image and audio blocks act through; rebuilds the page. Without one, media
    /// references show as captions.
    void setMediaContext(MediaContext media);

    /// Whether a link may be opened: http, https and mailto only.
    static bool isSafeLink(const QUrl &url);
    /// Opens a safe link with the desktop's handler; false (and nothing opened) otherwise.
    static bool openLink(const QUrl &url);

    /// The widget of each block, in order (for tests and accessibility checks).
    QList<QWidget *> blockWidgets() const { return m_blocks; }
    /// The task boxes, by ordinal.
    QList<QToolButton *> checkboxes() const { return m_checkboxes; }

Q_SIGNALS:
    /// A click on the page that no link or box took (the editor switches to edit mode).
    void backgroundClicked();
    /// A safe link was activated but no program opened it.
    void linkFailed(const QUrl &url);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rebuild();
    QWidget *makeBlock(const MarkdownBlock &block, int &ordinal);
    QLabel *inlineLabel(const QString &markdown, QWidget *parent, const QString &colour = {},
                        bool struck = false);
    QLabel *plainLabel(const QString &text, QWidget *parent);

    QString m_text;
    std::function<void(int)> m_onToggle;
    std::optional<MediaContext> m_media;
    QVBoxLayout *m_layout = nullptr;
    QList<QWidget *> m_blocks;
    QList<QToolButton *> m_checkboxes;
};
