#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <utility>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

/// One part of the account screen: a section (with its title and caption subtitle) or a block
/// inside one. A part builds its widgets, gives them their fixed texts from localization keys
/// (again after every language change), takes colours, fonts and symbols from the palette
/// (again after every palette change), and renders the shared objects' state: at once with
/// `refresh()`, or from the event loop with `scheduleRefresh()`, which the part connects to
/// the change signals it depends on. It keeps no data beyond a few view flags.
class AccountPart : public QWidget
{
    Q_OBJECT
public:
    /// `spacing`: between the rows of the part's column.
    explicit AccountPart(QWidget *parent, int spacing = 8);
    ~AccountPart() override;

    /// Renders the part from the shared objects' current state now (a scheduled render is
    /// dropped).
    void refresh();
    /// Sets the fixed texts again in the interface language, then renders.
    void retranslate();

protected:
    /// The last step of a derived constructor, after building and binding: texts, look and a
    /// first render.
    void finishBuilding();
    /// Renders from the event loop: several change signals in a row render once.
    void scheduleRefresh();

    /// Shows the current state (what `refresh()` runs).
    virtual void render() = 0;
    /// Texts besides the ones registered through label(), button() and switchRow(), which are
    /// set before this runs.
    virtual void translate() { }
    /// Colours, fonts and symbols besides the captions, titles and button symbols, which are
    /// set before this runs.
    virtual void restyle() { }

    void changeEvent(QEvent *event) override;

    /// The part's column, where its rows go.
    QVBoxLayout *column() const { return m_column; }
    /// Starts a section: the title (headline font) and, when given, the caption subtitle.
    /// Returns the subtitle (null without one). With `icon`, a 16-point picture label goes
    /// before the title and is handed back there.
    QLabel *addTitle(std::function<QString()> title, std::function<QString()> subtitle = {},
                     QLabel **icon = nullptr);

    /// A word-wrapped plain-text label; `text` (may be empty) is set again at every language
    /// change. Captions are two points smaller, in the secondary colour.
    QLabel *label(QWidget *parent, std::function<QString()> text, bool caption = false);
    /// A push button with its text, tooltip and accessible name from `text`, and the symbol
    /// drawn in the palette's colours.
    QPushButton *button(QWidget *parent, std::function<QString()> text, const QString &symbol = {});
    /// A switch named `name` with its label `text` (also its tooltip and accessible name) on
    /// the left; the switch is handed back in `toggle`.
    QWidget *switchRow(QWidget *parent, std::function<QString()> text, const QString &name,
                       QAbstractButton **toggle);
    /// A label `text` on the left and `picker` on the right.
    QHBoxLayout *pickerRow(QWidget *parent, std::function<QString()> text, QWidget *picker);
    /// `widgets` left to right, wrapping to the next line when the width runs out.
    static QWidget *flow(QWidget *parent, std::initializer_list<QWidget *> widgets);

private:
    void setTexts();
    void applyLook();

    QVBoxLayout *m_column = nullptr;
    QTimer *m_refreshTimer = nullptr;
    /// Fixed texts: widget and the lookup that gives its text in the interface language.
    QList<std::pair<QPointer<QWidget>, std::function<QString()>>> m_texts;
    QList<QLabel *> m_captions;
    QList<QLabel *> m_titles;
    QList<QPushButton *> m_symbolButtons;
};
