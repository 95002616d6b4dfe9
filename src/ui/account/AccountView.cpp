#include "ui/account/AccountView.h"

#include "base/AppInfo.h"
#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"
#include "ui/widgets/Avatar.h"
#include "ui/shell/Dialogs.h"
#include "platform/FileReveal.h"
#include "ui/style/Icons.h"
#include "ui/style/ScreenStyle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// ---- small widgets the screen is made of ----------------------------------------------------

// Lays its items out left to right and wraps to a new line when the width runs out, so a row
// of buttons never forces the 380-wide panel to scroll sideways in a longer language.
class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget *parent, int spacing = 8) : QLayout(parent), m_space(spacing)
    {
        setContentsMargins(0, 0, 0, 0);
    }
    ~FlowLayout() override
    {
        while (QLayoutItem *item = takeAt(0))
            delete item;
    }
    void addItem(QLayoutItem *item) override { m_items.append(item); }
    int count() const override { return int(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override
    {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), true); }
    void setGeometry(const QRect &rect) override
    {
        QLayout::setGeometry(rect);
        arrange(rect, false);
    }
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSize() const override
    {
        QSize size;
        for (const QLayoutItem *item : m_items)
            if (!item->isEmpty())
                size = size.expandedTo(item->minimumSize());
        const QMargins margins = contentsMargins();
        return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
    }

private:
    int arrange(const QRect &rect, bool measureOnly) const
    {
        const QRect area = rect.marginsRemoved(contentsMargins());
        int x = area.x();
        int y = area.y();
        int lineHeight = 0;
        for (QLayoutItem *item : m_items) {
            if (item->isEmpty())
                continue; // hidden buttons take no room
            const QSize hint = item->sizeHint();
            if (x > area.x() && x + hint.width() > area.right() + 1) {
                x = area.x();
                y += lineHeight + m_space;
                lineHeight = 0;
            }
            if (!measureOnly)
                item->setGeometry(QRect(QPoint(x, y), QSize(std::min(hint.width(), area.width()), hint.height())));
            x += hint.width() + m_space;
            lineHeight = std::max(lineHeight, hint.height());
        }
        return y + lineHeight - rect.y() + contentsMargins().bottom();
    }

    QList<QLayoutItem *> m_items;
    int m_space;
};

// An on/off switch: a rounded track with a knob, accent-coloured when on. A checkable button,
// so Space toggles it and accessibility reports its state.
class Switch : public QAbstractButton
{
public:
    explicit Switch(QWidget *parent) : QAbstractButton(parent)
    {
        setCheckable(true);
        setFocusPolicy(Qt::StrongFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return { 34, 20 }; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette pal = palette();
        const QRectF track = QRectF(rect()).adjusted(2, 2, -2, -2);
        const qreal radius = track.height() / 2;
        QColor fill = isChecked() ? pal.color(QPalette::Highlight)
                                  : ScreenStyle::withAlpha(pal.color(QPalette::WindowText), 0.22);
        if (!isEnabled())
            fill = ScreenStyle::withAlpha(fill, fill.alphaF() * 0.45);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(track, radius, radius);
        const qreal knob = track.height() - 4;
        const qreal left = isChecked() ? track.right() - 2 - knob : track.left() + 2;
        painter.setBrush(isEnabled() ? QColor(Qt::white) : QColor(235, 235, 235));
        painter.drawEllipse(QRectF(left, track.top() + 2, knob, knob));
        if (hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(pal.color(QPalette::Highlight), 1.5));
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius + 2,
                                    radius + 2);
        }
    }
};

// A switch with its label on the left; clicking anywhere on the row toggles the switch.
class SwitchRow : public QWidget
{
public:
    SwitchRow(QWidget *parent, QLabel *label, Switch *toggle) : QWidget(parent), m_switch(toggle)
    {
        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        label->setParent(this);
        toggle->setParent(this);
        row->addWidget(label, 1);
        row->addWidget(toggle, 0, Qt::AlignVCenter);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())
            && m_switch->isEnabled())
            m_switch->click();
    }

private:
    Switch *m_switch;
};

// A one-line label that shortens its text with "…" to the width it gets; the whole text
// stays in the tooltip and the accessible name.
class ElidedLabel : public QLabel
{
public:
    ElidedLabel(QWidget *parent, Qt::TextElideMode mode) : QLabel(parent), m_mode(mode)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    void setFullText(const QString &text)
    {
        if (text == m_full && !this->text().isEmpty())
            return;
        m_full = text;
        setProperty("fullText", text);
        ScreenStyle::describe(this, text);
        elide();
    }
    QString fullText() const { return m_full; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange)
            elide();
    }

private:
    void elide()
    {
        setText(fontMetrics().elidedText(m_full, m_mode, std::max(0, width())));
    }
    QString m_full;
    Qt::TextElideMode m_mode;
};

// The coloured 7-point dot of the server status line.
class StatusDot : public QWidget
{
public:
    explicit StatusDot(QWidget *parent) : QWidget(parent) { setFixedSize(7, 7); }
    void setColor(const QColor &color)
    {
        m_color = color;
        update();
    }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_color);
        painter.drawEllipse(QRectF(rect()));
    }

private:
    QColor m_color;
};

// A small turning arc that stands next to the sign-in button while it works.
class Spinner : public QWidget
{
public:
    explicit Spinner(QWidget *parent) : QWidget(parent), m_timer(new QTimer(this))
    {
        setFixedSize(16, 16);
        m_timer->setInterval(60);
        connect(m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent *) override { m_timer->start(); }
    void hideEvent(QHideEvent *) override { m_timer->stop(); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ScreenStyle::secondary(palette()), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -m_angle * 16, 270 * 16);
    }

private:
    QTimer *m_timer;
    int m_angle = 0;
};

// ---- helpers --------------------------------------------------------------------------------

constexpr int kPanelHeightStep = 20;

// Addresses from the server (terms, privacy, the server itself) open only as web pages.
std::optional<QUrl> webAddress(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"https" && scheme != u"http"))
        return std::nullopt;
    return url;
}

QString link(const QUrl &url, const QString &text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped());
}

QColor green(const QPalette &palette)
{
    return ScreenStyle::isDark(palette) ? QColor(48, 209, 88) : QColor(40, 167, 69);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, color);
    widget->setPalette(pal);
}

// Language names are shown in their own language, whatever the interface language is.
struct LanguageEntry
{
    AppLanguage language;
    const char *endonym; // null: the localized "same as system"
};
constexpr LanguageEntry kLanguages[] = {
    { AppLanguage::System, nullptr },
    { AppLanguage::En, "English" },
    { AppLanguage::Es, "Español" },
    { AppLanguage::Pt, "Português (Brasil)" },
};

QLabel *pictureLabel(QWidget *parent, int size)
{
    auto *label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void setSymbolPicture(QLabel *label, const QString &symbol, Icons::Tint tint)
{
    const int size = label->width();
    const QPixmap picture = ScreenStyle::symbolPixmap(symbol, label->palette(), tint, size,
                                                      label->devicePixelRatioF());
    if (picture.isNull())
        label->setText(ScreenStyle::glyph(symbol));
    else
        label->setPixmap(picture);
}

} // namespace

// ---- construction ---------------------------------------------------------------------------

AccountView::AccountView(NoteStore *store, SyncEngine *sync, AppSettings *settings,
                         Dialogs *dialogs, std::function<void()> onBack,
                         std::function<void()> onShowTrash, Telemetry *telemetry, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_sync(sync)
    , m_settings(settings)
    , m_dialogs(dialogs)
    , m_telemetry(telemetry ? telemetry : &Telemetry::shared())
    , m_onBack(std::move(onBack))
    , m_onShowTrash(std::move(onShowTrash))
{
    setObjectName(QStringLiteral("screen.account"));
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &AccountView::refresh);
    buildUi();
    retranslate();
    applyLook();
    bind();
    refresh();
}

AccountView::~AccountView() = default;

QLabel *AccountView::label(QWidget *parent, std::function<QString()> text, bool caption)
{
    auto *result = new QLabel(parent);
    result->setWordWrap(true);
    result->setTextFormat(Qt::PlainText);
    if (text)
        m_texts.append({ result, std::move(text) });
    if (caption) {
        result->setFont(ScreenStyle::captionFont(font()));
        m_captions.append(result);
    }
    return result;
}

QPushButton *AccountView::button(QWidget *parent, std::function<QString()> text,
                                 const QString &symbol)
{
    auto *result = new QPushButton(parent);
    result->setAutoDefault(false);
    if (!symbol.isEmpty()) {
        result->setIcon(Icons::icon(symbol, palette()));
        result->setIconSize(QSize(16, 16));
        result->setProperty("scrivelSymbol", symbol);
    }
    m_texts.append({ result, std::move(text) });
    return result;
}

void AccountView::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Header: back and title, fixed above the scrolling column.
    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 8, 8, 8);
    headerRow->setSpacing(6);
    m_back = ScreenStyle::toolButton(header, QStringLiteral("chevron.left"), L("editor.back"));
    m_back->setObjectName(QStringLiteral("account.back"));
    m_back->setShortcut(QKeySequence(Qt::Key_Escape));
    m_title = label(header, [] { return L("account.title"); });
    m_title->setWordWrap(false);
    QFont titleFont = m_title->font();
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    headerRow->addWidget(m_back);
    headerRow->addWidget(m_title, 1);
    outer->addWidget(header);
    auto *divider = new QFrame(this);
    divider->setFixedHeight(1);
    m_separators.append(divider);
    outer->addWidget(divider);

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("account.scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("account.content"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(12);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
    // The scroll area paints the window colour, like the other screens.
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto section = [&](std::function<QString()> title, std::function<QString()> subtitle,
                       QLabel **subtitleOut = nullptr, QLabel **iconOut = nullptr) {
        if (column->count() > 0) {
            auto *line = new QFrame(content);
            line->setFixedHeight(1);
            m_separators.append(line);
            column->addWidget(line);
        }
        auto *box = new QWidget(content);
        auto *layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        auto *titleRow = new QHBoxLayout;
        titleRow->setSpacing(6);
        if (iconOut) {
            *iconOut = pictureLabel(box, 16);
            titleRow->addWidget(*iconOut);
        }
        QLabel *heading = label(box, std::move(title));
        m_sectionTitles.append(heading);
        titleRow->addWidget(heading, 1);
        layout->addLayout(titleRow);
        if (subtitle) {
            QLabel *sub = label(box, std::move(subtitle), true);
            layout->addWidget(sub);
            if (subtitleOut)
                *subtitleOut = sub;
            layout->addSpacing(2);
        }
        column->addWidget(box);
        return layout;
    };
    auto switchRow = [&](QWidget *parent, std::function<QString()> text, const QString &name,
                         QAbstractButton **out) {
        auto *toggle = new Switch(parent);
        toggle->setObjectName(name);
        m_texts.append({ toggle, text });
        QLabel *caption = label(parent, std::move(text));
        auto *row = new SwitchRow(parent, caption, toggle);
        *out = toggle;
        return row;
    };
    auto flow = [](QWidget *parent, std::initializer_list<QWidget *> widgets) {
        auto *holder = new QWidget(parent);
        auto *layout = new FlowLayout(holder);
        for (QWidget *widget : widgets) {
            widget->setParent(holder);
            layout->addWidget(widget);
        }
        return holder;
    };
    auto pickerRow = [&](QWidget *parent, std::function<QString()> text, QWidget *picker) {
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        QLabel *caption = label(parent, std::move(text));
        row->addWidget(caption, 1);
        row->addWidget(picker, 0, Qt::AlignVCenter);
        return row;
    };

    // ---- sync ----
    {
        QVBoxLayout *sync = section([] { return L("account.sync"); },
                                    [] { return L("account.sync.subtitle"); }, &m_syncSubtitle);
        QWidget *box = sync->parentWidget();

        m_accountRow = new QWidget(box);
        auto *accountRow = new QHBoxLayout(m_accountRow);
        accountRow->setContentsMargins(0, 0, 0, 0);
        accountRow->setSpacing(8);
        m_avatar = new Avatar(28, m_accountRow);
        auto *email = new ElidedLabel(m_accountRow, Qt::ElideRight);
        email->setObjectName(QStringLiteral("account.email"));
        m_email = email;
        accountRow->addWidget(m_avatar);
        accountRow->addWidget(m_email, 1);
        sync->addWidget(m_accountRow);

        m_serverRow = new QWidget(box);
        m_serverRow->setObjectName(QStringLiteral("account.server"));
        auto *serverRow = new QHBoxLayout(m_serverRow);
        serverRow->setContentsMargins(0, 0, 0, 0);
        serverRow->setSpacing(6);
        auto *dotHolder = new QWidget(m_serverRow);
        auto *dotLayout = new QVBoxLayout(dotHolder);
        // Centre the dot on the caption's first line.
        const int lineHeight = QFontMetrics(ScreenStyle::captionFont(font())).height();
        dotLayout->setContentsMargins(0, std::max(0, (lineHeight - 7) / 2), 0, 0);
        m_serverDot = new StatusDot(dotHolder);
        m_serverDot->setObjectName(QStringLiteral("account.server.dot"));
        dotLayout->addWidget(m_serverDot);
        dotLayout->addStretch(1);
        m_serverText = label(m_serverRow, {}, true);
        m_serverText->setObjectName(QStringLiteral("account.server.text"));
        serverRow->addWidget(dotHolder);
        serverRow->addWidget(m_serverText, 1);
        sync->addWidget(m_serverRow);

        // Signed out: terms, sign-in.
        m_signedOut = new QWidget(box);
        m_signedOut->setObjectName(QStringLiteral("account.signedOut"));
        auto *out = new QVBoxLayout(m_signedOut);
        out->setContentsMargins(0, 0, 0, 0);
        out->setSpacing(6);
        out->addWidget(switchRow(m_signedOut, [] { return L("account.terms"); },
                                 QStringLiteral("account.terms"), &m_terms));
        m_termsLink = new QLabel(m_signedOut);
        m_termsLink->setObjectName(QStringLiteral("account.terms.link"));
        m_termsLink->setTextFormat(Qt::RichText);
        m_termsLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
        m_termsLink->setFont(ScreenStyle::captionFont(font()));
        out->addWidget(m_termsLink);
        m_signIn = button(m_signedOut, [] { return L("account.google"); },
                          QStringLiteral("person.badge.key"));
        m_signIn->setObjectName(QStringLiteral("account.google"));
        m_spinner = new Spinner(m_signedOut);
        m_spinner->setObjectName(QStringLiteral("account.spinner"));
        // The browser may never come back (a closed tab): the wait can be ended here rather
        // than only by its five-minute timeout.
        m_cancelSignIn = button(m_signedOut, [] { return L("common.cancel"); });
        m_cancelSignIn->setObjectName(QStringLiteral("account.google.cancel"));
        auto *signInRow = new QHBoxLayout;
        signInRow->setSpacing(8);
        signInRow->addWidget(m_signIn);
        signInRow->addWidget(m_spinner);
        signInRow->addWidget(m_cancelSignIn);
        signInRow->addStretch(1);
        out->addSpacing(4);
        out->addLayout(signInRow);
        out->addWidget(label(m_signedOut, [] { return L("account.google.hint"); }, true));
        sync->addWidget(m_signedOut);

        // Signed in: status, switches, operations, telemetry.
        m_signedIn = new QWidget(box);
        m_signedIn->setObjectName(QStringLiteral("account.signedIn"));
        auto *in = new QVBoxLayout(m_signedIn);
        in->setContentsMargins(0, 0, 0, 0);
        in->setSpacing(6);
        m_notIncluded = label(m_signedIn, [] { return L("account.sync.notIncluded"); }, true);
        m_notIncluded->setObjectName(QStringLiteral("account.sync.notIncluded"));
        in->addWidget(m_notIncluded);
        m_syncLine = label(m_signedIn, {});
        m_syncLine->setObjectName(QStringLiteral("account.syncLine"));
        in->addWidget(m_syncLine);
        m_mediaPending = label(m_signedIn, {}, true);
        m_mediaPending->setObjectName(QStringLiteral("account.media.pending"));
        in->addWidget(m_mediaPending);
        in->addWidget(switchRow(m_signedIn, [] { return L("account.autoSync"); },
                                QStringLiteral("account.autoSync"), &m_autoSync));
        m_syncNow = button(m_signedIn, [] { return L("account.syncNow"); },
                           QStringLiteral("arrow.triangle.2.circlepath"));
        m_syncNow->setObjectName(QStringLiteral("account.syncNow"));
        m_dashboard = button(m_signedIn, [] { return L("account.dashboard"); },
                             QStringLiteral("arrow.up.right"));
        m_dashboard->setObjectName(QStringLiteral("account.dashboard"));
        in->addSpacing(2);
        in->addWidget(flow(m_signedIn, { m_syncNow, m_dashboard }));
        in->addWidget(label(m_signedIn, [] { return L("account.dashboard.hint"); }, true));
        m_signOut = button(m_signedIn, [] { return L("account.signOut"); });
        m_signOut->setObjectName(QStringLiteral("account.signOut"));
        in->addWidget(flow(m_signedIn, { m_signOut }));

        // The telemetry row.
        in->addSpacing(6);
        m_telemetryRequired = new QWidget(m_signedIn);
        m_telemetryRequired->setObjectName(QStringLiteral("telemetry.required"));
        auto *required = new QVBoxLayout(m_telemetryRequired);
        required->setContentsMargins(0, 0, 0, 0);
        required->setSpacing(4);
        auto *requiredTitle = new QHBoxLayout;
        requiredTitle->setSpacing(6);
        m_telemetryRequiredIcon = pictureLabel(m_telemetryRequired, 16);
        requiredTitle->addWidget(m_telemetryRequiredIcon);
        requiredTitle->addWidget(label(m_telemetryRequired, [] { return L("telemetry.required.title"); }), 1);
        required->addLayout(requiredTitle);
        m_telemetryRequiredText = label(m_telemetryRequired, [] { return L("telemetry.required"); }, true);
        required->addWidget(m_telemetryRequiredText);
        in->addWidget(m_telemetryRequired);
        m_telemetryOptional = switchRow(m_signedIn, [] { return L("telemetry.optional"); },
                                        QStringLiteral("telemetry.optional"), &m_telemetrySwitch);
        in->addWidget(m_telemetryOptional);
        m_telemetryHint = label(m_signedIn, [] { return L("telemetry.optional.hint"); }, true);
        in->addWidget(m_telemetryHint);
        m_privacyLink = new QLabel(m_signedIn);
        m_privacyLink->setObjectName(QStringLiteral("telemetry.privacy"));
        m_privacyLink->setTextFormat(Qt::RichText);
        m_privacyLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
        m_privacyLink->setFont(ScreenStyle::captionFont(font()));
        in->addWidget(m_privacyLink);
        sync->addWidget(m_signedIn);
    }

    // ---- preferences ----
    {
        QVBoxLayout *prefs = section([] { return L("account.prefs"); }, {});
        QWidget *box = prefs->parentWidget();
        prefs->addWidget(switchRow(box, [] { return L("account.launchAtLogin"); },
                                   QStringLiteral("account.launchAtLogin"), &m_launchAtLogin));
        m_launchProblem = label(box, {}, true);
        m_launchProblem->setObjectName(QStringLiteral("account.launchAtLogin.problem"));
        prefs->addWidget(m_launchProblem);
        m_launchOutside = label(box, [] { return L("account.launchAtLogin.outside"); }, true);
        m_launchOutside->setObjectName(QStringLiteral("account.launchAtLogin.outside"));
        prefs->addWidget(m_launchOutside);

        m_hotKey = new QComboBox(box);
        m_hotKey->setObjectName(QStringLiteral("account.hotkey"));
        for (HotKeyCombo combo : allHotKeyCombos())
            m_hotKey->addItem(QString(), int(combo));
        prefs->addSpacing(4);
        prefs->addLayout(pickerRow(box, [] { return L("account.hotkey"); }, m_hotKey));
        prefs->addWidget(label(box, [] { return L("account.hotkey.hint"); }, true));

        auto *icons = new QWidget(box);
        auto *iconRow = new QHBoxLayout(icons);
        iconRow->setContentsMargins(0, 0, 0, 0);
        iconRow->setSpacing(2);
        m_iconGroup = new QButtonGroup(this);
        m_iconGroup->setExclusive(true);
        for (MenuBarIcon icon : menuBarIconPickerOrder()) {
            auto *choice = ScreenStyle::toolButton(icons, menuBarIconRawValue(icon), L("account.icon"));
            choice->setObjectName(QStringLiteral("account.icon.") + menuBarIconRawValue(icon));
            choice->setCheckable(true);
            choice->setFixedSize(28, 26);
            m_iconGroup->addButton(choice, int(icon));
            iconRow->addWidget(choice);
        }
        prefs->addSpacing(4);
        prefs->addLayout(pickerRow(box, [] { return L("account.icon"); }, icons));

        auto *heightRow = new QHBoxLayout;
        heightRow->setSpacing(8);
        heightRow->addWidget(label(box, [] { return L("account.panelHeight"); }), 0);
        m_panelHeight = new QSlider(Qt::Horizontal, box);
        m_panelHeight->setObjectName(QStringLiteral("account.panelHeight"));
        // The slider counts steps of 20 points, so every position is a valid height.
        m_panelHeight->setRange(0, (AppSettings::maximumPanelHeight - AppSettings::minimumPanelHeight)
                                       / kPanelHeightStep);
        m_panelHeight->setSingleStep(1);
        m_panelHeight->setPageStep(1);
        m_panelHeightValue = new QLabel(box);
        m_panelHeightValue->setObjectName(QStringLiteral("account.panelHeight.value"));
        m_panelHeightValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_panelHeightValue->setMinimumWidth(
            std::max(30, m_panelHeightValue->fontMetrics().horizontalAdvance(QStringLiteral("900")) + 2));
        heightRow->addWidget(m_panelHeight, 1);
        heightRow->addWidget(m_panelHeightValue);
        prefs->addSpacing(4);
        prefs->addLayout(heightRow);
        prefs->addWidget(label(box, [] { return L("account.panelHeight.hint"); }, true));

        m_language = new QComboBox(box);
        m_language->setObjectName(QStringLiteral("account.language"));
        for (const LanguageEntry &entry : kLanguages)
            m_language->addItem(entry.endonym ? QString::fromUtf8(entry.endonym) : QString(),
                                int(entry.language));
        prefs->addSpacing(4);
        prefs->addLayout(pickerRow(box, [] { return L("account.language"); }, m_language));
        prefs->addWidget(label(box, [] { return L("account.language.hint"); }, true));
    }

    // ---- notes folder ----
    {
        QVBoxLayout *folder = section([] { return L("account.folder"); },
                                      [] { return L("account.folder.subtitle"); });
        QWidget *box = folder->parentWidget();
        auto *pathRow = new QHBoxLayout;
        pathRow->setSpacing(6);
        m_folderIcon = pictureLabel(box, 16);
        auto *path = new ElidedLabel(box, Qt::ElideMiddle);
        path->setObjectName(QStringLiteral("account.folder.path"));
        m_folderPath = path;
        pathRow->addWidget(m_folderIcon);
        pathRow->addWidget(m_folderPath, 1);
        folder->addLayout(pathRow);
        m_changeFolder = button(box, [] { return L("account.folder.change"); });
        m_changeFolder->setObjectName(QStringLiteral("account.folder.change"));
        m_revealFolder = button(box, [] { return L("account.folder.reveal"); }, QStringLiteral("folder"));
        m_revealFolder->setObjectName(QStringLiteral("account.folder.reveal"));
        folder->addWidget(flow(box, { m_changeFolder, m_revealFolder }));

        m_errorRow = new QWidget(box);
        m_errorRow->setObjectName(QStringLiteral("account.folder.error"));
        auto *errorRow = new QHBoxLayout(m_errorRow);
        errorRow->setContentsMargins(0, 0, 0, 0);
        errorRow->setSpacing(6);
        m_errorIcon = pictureLabel(m_errorRow, 16);
        m_errorText = label(m_errorRow, {}, true);
        m_errorOk = button(m_errorRow, [] { return L("common.ok"); });
        m_errorOk->setObjectName(QStringLiteral("account.folder.error.ok"));
        errorRow->addWidget(m_errorIcon, 0, Qt::AlignTop);
        errorRow->addWidget(m_errorText, 1);
        errorRow->addWidget(m_errorOk, 0, Qt::AlignVCenter);
        folder->addWidget(m_errorRow);
    }

    // ---- trash ----
    {
        QVBoxLayout *trash = section([] { return L("account.trash"); },
                                     [] { return L("account.trash.subtitle"); });
        QWidget *box = trash->parentWidget();
        m_trashCount = label(box, {}, true);
        m_trashCount->setObjectName(QStringLiteral("account.trash.count"));
        trash->addWidget(m_trashCount);
        m_showTrash = button(box, [] { return L("account.trash.show"); }, QStringLiteral("trash"));
        m_showTrash->setObjectName(QStringLiteral("account.trash.show"));
        m_showTrash->setVisible(bool(m_onShowTrash));
        m_emptyTrash = button(box, [] { return L("list.emptyTrash"); }, QStringLiteral("trash.slash"));
        m_emptyTrash->setObjectName(QStringLiteral("account.trash.empty"));
        trash->addWidget(flow(box, { m_showTrash, m_emptyTrash }));
    }

    // ---- danger zone ----
    {
        QVBoxLayout *danger = section([] { return L("account.danger"); }, {}, nullptr, &m_dangerIcon);
        QWidget *box = danger->parentWidget();
        m_deleteNotes = button(box, [] { return L("account.deleteNotes"); });
        m_deleteNotes->setObjectName(QStringLiteral("account.deleteNotes"));
        m_deleteAccount = button(box, [] { return L("account.deleteAccount"); });
        m_deleteAccount->setObjectName(QStringLiteral("account.deleteAccount"));
        danger->addWidget(flow(box, { m_deleteNotes, m_deleteAccount }));
        m_deleteAccountSignedOut = label(box, [] { return L("account.deleteAccount.signedOut"); }, true);
        m_deleteAccountSignedOut->setObjectName(QStringLiteral("account.deleteAccount.signedOut"));
        danger->addWidget(m_deleteAccountSignedOut);
    }

    // ---- footer line ----
    m_footer = new QLabel(content);
    m_footer->setObjectName(QStringLiteral("account.footer"));
    m_footer->setTextFormat(Qt::RichText);
    m_footer->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_footer->setAlignment(Qt::AlignHCenter);
    m_footer->setWordWrap(true);
    m_footer->setFont(ScreenStyle::captionFont(font()));
    m_captions.append(m_footer);
    column->addSpacing(4);
    column->addWidget(m_footer);
    column->addStretch(1);

    setFocusProxy(m_back);
}

// ---- bindings -------------------------------------------------------------------------------

void AccountView::bind()
{
    // Widgets to operations.
    connect(m_back, &QToolButton::clicked, this, [this] {
        if (m_onBack)
            m_onBack();
    });
    connect(m_terms, &QAbstractButton::toggled, this, [this](bool on) {
        m_acceptedTerms = on;
        refresh();
    });
    connect(m_signIn, &QPushButton::clicked, this, &AccountView::signIn);
    connect(m_autoSync, &QAbstractButton::toggled, m_settings, &AppSettings::setAutoSync);
    connect(m_syncNow, &QPushButton::clicked, this, &AccountView::syncNow);
    connect(m_cancelSignIn, &QPushButton::clicked, m_sync, &SyncEngine::cancelSignIn);
    connect(m_dashboard, &QPushButton::clicked, this, &AccountView::openDashboard);
    connect(m_signOut, &QPushButton::clicked, this, &AccountView::confirmSignOut);
    connect(m_telemetrySwitch, &QAbstractButton::toggled, this, [this](bool on) {
        // The answer decides what the switch shows: a refused or failed choice flips it back.
        QPointer<AccountView> self(this);
        m_telemetry->setChoice(on).then([self] {
            if (self)
                self->scheduleRefresh();
        });
    });
    for (QLabel *linkLabel : { m_termsLink, m_privacyLink, m_footer })
        connect(linkLabel, &QLabel::linkActivated, this, &AccountView::openLink);

    connect(m_launchAtLogin, &QAbstractButton::toggled, m_settings, &AppSettings::setLaunchAtLogin);
    connect(m_hotKey, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings->setHotKey(HotKeyCombo(m_hotKey->itemData(index).toInt()));
    });
    connect(m_iconGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_settings->setMenuBarIcon(MenuBarIcon(id)); });
    connect(m_panelHeight, &QSlider::valueChanged, this, [this](int step) {
        m_settings->setPanelHeight(AppSettings::minimumPanelHeight + step * kPanelHeightStep);
    });
    connect(m_language, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings->setLanguage(AppLanguage(m_language->itemData(index).toInt()));
    });

    connect(m_changeFolder, &QPushButton::clicked, this, &AccountView::chooseFolder);
    connect(m_revealFolder, &QPushButton::clicked, this, &AccountView::revealFolder);
    connect(m_errorOk, &QPushButton::clicked, this, [this] { m_store->setLastError(QString()); });
    connect(m_showTrash, &QPushButton::clicked, this, [this] {
        if (m_onShowTrash)
            m_onShowTrash();
    });
    connect(m_emptyTrash, &QPushButton::clicked, this, &AccountView::confirmEmptyTrash);
    connect(m_deleteNotes, &QPushButton::clicked, this, &AccountView::confirmDeleteNotes);
    connect(m_deleteAccount, &QPushButton::clicked, this, &AccountView::confirmDeleteAccount);

    // Shared state to the screen.
    connect(m_sync, &SyncEngine::stateChanged, this, &AccountView::scheduleRefresh);
    connect(m_sync, &SyncEngine::accountChanged, this, &AccountView::scheduleRefresh);
    connect(m_sync, &SyncEngine::healthChanged, this, &AccountView::scheduleRefresh);
    connect(m_sync, &SyncEngine::mediaUsageChanged, this, &AccountView::scheduleRefresh);
    connect(m_sync, &SyncEngine::mediaPendingChanged, this, &AccountView::scheduleRefresh);
    connect(m_sync, &SyncEngine::syncFinished, this, &AccountView::scheduleRefresh);
    connect(m_sync, &SyncEngine::accountOperationFinished, this, &AccountView::scheduleRefresh);
    connect(m_store, &NoteStore::changed, this, &AccountView::scheduleRefresh);
    connect(m_store, &NoteStore::lastErrorChanged, this, &AccountView::scheduleRefresh);
    connect(m_telemetry, &Telemetry::stateChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::autoSyncChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::launchAtLoginChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::launchAtLoginProblemChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::hotKeyChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::menuBarIconChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::panelHeightChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::notesFolderChanged, this, &AccountView::scheduleRefresh);
    connect(m_settings, &AppSettings::languageChanged, this, [this] {
        retranslate();
        refresh();
    });
}

void AccountView::retranslate()
{
    for (const auto &[widget, text] : std::as_const(m_texts)) {
        if (!widget)
            continue;
        const QString value = text();
        if (auto *textLabel = qobject_cast<QLabel *>(widget.data()))
            textLabel->setText(value);
        else if (auto *press = qobject_cast<QAbstractButton *>(widget.data())) {
            press->setText(value);
            ScreenStyle::describe(press, value);
        }
    }
    // Switches draw no text: their row's label speaks for them.
    for (QAbstractButton *toggle : { m_terms, m_autoSync, m_telemetrySwitch, m_launchAtLogin })
        toggle->setText(QString());
    ScreenStyle::describe(m_back, L("editor.back"));
    for (QAbstractButton *choice : m_iconGroup->buttons())
        ScreenStyle::describe(choice, L("account.icon"));
    ScreenStyle::describe(m_hotKey, L("account.hotkey"));
    ScreenStyle::describe(m_language, L("account.language"));
    ScreenStyle::describe(m_panelHeight, L("account.panelHeight"));
    ScreenStyle::describe(m_termsLink, L("account.terms.link"));
    ScreenStyle::describe(m_privacyLink, L("telemetry.privacy"));
    {
        const QSignalBlocker blocker(m_hotKey);
        for (int i = 0; i < m_hotKey->count(); ++i)
            m_hotKey->setItemText(i, hotKeyComboLabel(HotKeyCombo(m_hotKey->itemData(i).toInt())));
    }
    {
        const QSignalBlocker blocker(m_language);
        m_language->setItemText(0, L("account.language.system"));
    }
}

void AccountView::applyLook()
{
    const QPalette pal = palette();
    for (QLabel *caption : std::as_const(m_captions))
        setTextColor(caption, ScreenStyle::secondary(pal));
    QFont headline = font();
    headline.setWeight(QFont::DemiBold);
    for (QLabel *heading : std::as_const(m_sectionTitles))
        heading->setFont(headline);
    const QString lineColor = ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb);
    for (QWidget *line : std::as_const(m_separators))
        line->setStyleSheet(QStringLiteral("background: %1;").arg(lineColor));
    setTextColor(m_launchProblem, ScreenStyle::orange(pal));
    setTextColor(m_errorText, pal.color(QPalette::WindowText));

    ScreenStyle::setSymbol(m_back, QStringLiteral("chevron.left"));
    for (QAbstractButton *choice : m_iconGroup->buttons())
        ScreenStyle::setSymbol(choice, menuBarIconRawValue(MenuBarIcon(m_iconGroup->id(choice))));
    for (QPushButton *press : findChildren<QPushButton *>()) {
        const QString symbol = press->property("scrivelSymbol").toString();
        if (!symbol.isEmpty())
            press->setIcon(Icons::icon(symbol, pal));
    }
    // The sign-in button is the prominent one: accent fill while it can be used.
    QPalette prominent = pal;
    for (QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive }) {
        prominent.setColor(group, QPalette::Button, pal.color(group, QPalette::Highlight));
        prominent.setColor(group, QPalette::ButtonText, pal.color(group, QPalette::HighlightedText));
    }
    m_signIn->setPalette(prominent);
    // Destructive actions read in red.
    QPalette destructive = pal;
    destructive.setColor(QPalette::Active, QPalette::ButtonText, QColor(220, 53, 69));
    destructive.setColor(QPalette::Inactive, QPalette::ButtonText, QColor(220, 53, 69));
    if (ScreenStyle::isDark(pal)) {
        destructive.setColor(QPalette::Active, QPalette::ButtonText, QColor(255, 105, 97));
        destructive.setColor(QPalette::Inactive, QPalette::ButtonText, QColor(255, 105, 97));
    }
    m_deleteNotes->setPalette(destructive);
    m_deleteAccount->setPalette(destructive);

    setSymbolPicture(m_folderIcon, QStringLiteral("folder"), Icons::Tint::Secondary);
    setSymbolPicture(m_errorIcon, QStringLiteral("exclamationmark.triangle.fill"), Icons::Tint::Orange);
    setSymbolPicture(m_dangerIcon, QStringLiteral("exclamationmark.triangle.fill"), Icons::Tint::Text);
    setSymbolPicture(m_telemetryRequiredIcon, QStringLiteral("chart.bar.xaxis"), Icons::Tint::Text);
}

// ---- rendering ------------------------------------------------------------------------------

void AccountView::scheduleRefresh()
{
    m_refreshTimer->start();
}

bool AccountView::canSignIn() const
{
    if (busy() || !m_acceptedTerms)
        return false;
    const auto health = m_sync->health();
    if (!health || !health->has_value())
        return false;
    const Capabilities &capabilities = (*health)->capabilities;
    return capabilities.google && capabilities.googleClientId
        && !capabilities.googleClientId->trimmed().isEmpty();
}

QString AccountView::serverStatusLine() const
{
    return m_serverRow->isHidden() ? QString() : m_serverText->text();
}

void AccountView::refresh()
{
    m_refreshTimer->stop();
    const QPalette pal = palette();
    const auto account = m_sync->account();
    const bool signedIn = account.has_value();
    const SyncState state = m_sync->state();

    // Sync block.
    m_syncSubtitle->setVisible(!signedIn);
    m_accountRow->setVisible(signedIn);
    m_signedOut->setVisible(!signedIn);
    m_signedIn->setVisible(signedIn);
    if (signedIn) {
        m_avatar->setUrl(account->avatarUrl ? QUrl(*account->avatarUrl) : QUrl());
        static_cast<ElidedLabel *>(m_email)->setFullText(account->email);
    }
    renderServerStatus();

    const auto health = m_sync->health();
    const ServerHealth *healthy = health && health->has_value() ? &**health : nullptr;
    const std::optional<QUrl> terms
        = healthy && healthy->capabilities.termsUrl ? webAddress(*healthy->capabilities.termsUrl)
                                                    : std::nullopt;
    m_termsLink->setVisible(terms.has_value());
    if (terms)
        m_termsLink->setText(link(*terms, L("account.terms.link")));
    {
        const QSignalBlocker blocker(m_terms);
        m_terms->setChecked(m_acceptedTerms);
    }
    const bool signInReady = canSignIn();
    m_signIn->setEnabled(signInReady);
    // On the accent fill the symbol is drawn like the text; disabled, the button is plain.
    QPalette symbolColors = pal;
    if (signInReady)
        symbolColors.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    m_signIn->setIcon(Icons::icon(QStringLiteral("person.badge.key"), symbolColors));
    // A sign-in started from an earlier visit of this screen is still shown as running.
    m_spinner->setVisible(busy());
    m_cancelSignIn->setVisible(m_sync->isSigningIn());

    const bool localOnly = state.kind == SyncState::Kind::LocalOnly;
    m_notIncluded->setVisible(localOnly);
    const int dirty = m_store->dirtyCount();
    if (localOnly) {
        m_syncLine->setText(L("account.sync.localOnlyLine"));
        setTextColor(m_syncLine, ScreenStyle::secondary(pal));
    } else if (dirty > 0) {
        m_syncLine->setText(L("account.pending", dirty));
        setTextColor(m_syncLine, ScreenStyle::orange(pal));
    } else {
        m_syncLine->setText(L("account.allUploaded"));
        setTextColor(m_syncLine, ScreenStyle::secondary(pal));
    }
    const int mediaPending = m_sync->mediaPending();
    m_mediaPending->setVisible(mediaPending >= 1);
    if (mediaPending >= 1)
        m_mediaPending->setText(L("account.media.pending", mediaPending));
    {
        const QSignalBlocker blocker(m_autoSync);
        m_autoSync->setChecked(m_settings->autoSync());
    }
    for (QPushButton *operation : { m_syncNow, m_dashboard, m_signOut, m_deleteAccount })
        operation->setEnabled(!busy());
    renderTelemetry();

    // Preferences.
    {
        const QSignalBlocker blocker(m_launchAtLogin);
        m_launchAtLogin->setChecked(m_settings->launchAtLogin());
    }
    const QString problem = m_settings->launchAtLoginProblem();
    m_launchProblem->setText(problem);
    m_launchProblem->setVisible(!problem.isEmpty());
    // An AppImage runs from a mount that is gone at the next login.
    const bool installed = !qEnvironmentVariableIsSet("APPIMAGE")
        && isInstalledLocation(QCoreApplication::applicationFilePath(), QDir::homePath());
    m_launchOutside->setVisible(!installed);
    {
        const QSignalBlocker blocker(m_hotKey);
        m_hotKey->setCurrentIndex(m_hotKey->findData(int(m_settings->hotKey())));
    }
    if (QAbstractButton *choice = m_iconGroup->button(int(m_settings->menuBarIcon())))
        choice->setChecked(true);
    {
        const QSignalBlocker blocker(m_panelHeight);
        const int height = m_settings->panelHeight();
        m_panelHeight->setValue(int(std::lround(double(height - AppSettings::minimumPanelHeight)
                                                / kPanelHeightStep)));
        m_panelHeightValue->setText(QString::number(height));
    }
    {
        const QSignalBlocker blocker(m_language);
        m_language->setCurrentIndex(m_language->findData(int(m_settings->language())));
    }

    // Notes folder.
    static_cast<ElidedLabel *>(m_folderPath)
        ->setFullText(displayPath(m_store->notesFolder(), QDir::homePath()));
    const QString error = m_store->lastError();
    m_errorRow->setVisible(!error.isEmpty());
    m_errorText->setText(error);

    // Trash.
    const int trashed = int(m_store->trashedNotes().size());
    m_trashCount->setText(trashed > 0 ? L("account.trash.count", trashed) : L("list.empty.trash"));
    m_emptyTrash->setEnabled(trashed > 0 || m_store->trashHoldsParkedMedia());

    // Danger zone.
    m_deleteAccount->setVisible(signedIn);
    m_deleteAccountSignedOut->setVisible(!signedIn);

    // Footer line: name, version (build) · server.
    QString footer = QStringLiteral("%1 %2 (%3)")
                         .arg(AppInfo::name(), AppInfo::version(), AppInfo::build())
                         .toHtmlEscaped();
    if (const auto server = webAddress(m_settings->serverURL())) {
        QString shown = m_settings->serverURL().trimmed();
        if (shown.startsWith(QStringLiteral("https://")))
            shown.remove(0, 8);
        footer += QStringLiteral(" · ") + link(*server, shown);
    }
    m_footer->setText(footer);
}

void AccountView::renderServerStatus()
{
    const auto health = m_sync->health();
    m_serverRow->setVisible(health.has_value());
    if (!health) {
        m_serverText->clear();
        return;
    }
    const QPalette pal = palette();
    auto *dot = static_cast<StatusDot *>(m_serverDot);
    if (!health->has_value()) {
        dot->setColor(ScreenStyle::orange(pal));
        m_serverText->setText(L("account.server.unreachable", health->error().description()));
        return;
    }
    const ServerHealth &server = **health;
    dot->setColor(server.ok ? green(pal) : ScreenStyle::orange(pal));
    QStringList parts { L("account.server.ok", server.version) };
    parts << (server.capabilities.media ? L("account.server.media.on")
                                        : L("account.server.media.off"));
    // Usage belongs to a server that stores media; a value left from before says nothing.
    if (server.capabilities.media) {
        if (const auto usage = m_sync->mediaUsage())
            parts << L("account.server.usage", usage->percent(),
                       Localization::locale().formattedDataSize(std::max<qint64>(0, usage->quotaBytes),
                                                                1, QLocale::DataSizeIecFormat));
    }
    if (!server.capabilities.signup)
        parts << L("account.server.signup.off");
    m_serverText->setText(parts.join(QStringLiteral(" · ")));
}

void AccountView::renderTelemetry()
{
    const TelemetryState state = m_telemetry->state();
    m_telemetryRequired->setVisible(state.required);
    m_telemetryOptional->setVisible(!state.required);
    m_telemetryHint->setVisible(!state.required);
    {
        const QSignalBlocker blocker(m_telemetrySwitch);
        m_telemetrySwitch->setChecked(state.enabled);
    }
    const auto privacy = webAddress(m_settings->serverURL().trimmed() + QStringLiteral("/privacy"));
    m_privacyLink->setVisible(privacy.has_value());
    if (privacy)
        m_privacyLink->setText(link(*privacy, L("telemetry.privacy")));
}

// ---- operations -----------------------------------------------------------------------------

void AccountView::run(Ends ends, const std::function<void()> &operation)
{
    if (busy())
        return; // a second click while an operation runs does nothing
    const quint64 ticket = ++m_runTicket;
    setBusy(true);
    auto connection = std::make_shared<QMetaObject::Connection>();
    auto finish = [this, ticket, connection] {
        QObject::disconnect(*connection);
        if (ticket == m_runTicket && m_busy)
            setBusy(false);
    };
    // Connected before the call: an operation with nothing to do may end inside it.
    if (ends == Ends::Sync)
        *connection = connect(m_sync, &SyncEngine::syncFinished, this, finish);
    else
        *connection = connect(m_sync, &SyncEngine::accountOperationFinished, this, finish);
    operation();
    // A sync that does not start (signed out, no server) announces no end; one already
    // running ends with its own signal.
    if (ends == Ends::Sync && !m_sync->isSyncing())
        finish();
}

bool AccountView::busy() const
{
    return m_busy || m_sync->isAccountOperationRunning();
}

void AccountView::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    refresh();
}

void AccountView::signIn()
{
    if (!canSignIn())
        return;
    const bool accepted = m_acceptedTerms;
    run(Ends::AccountOperation, [this, accepted] { m_sync->signInWithGoogle(accepted); });
}

void AccountView::syncNow()
{
    run(Ends::Sync, [this] { m_sync->sync(); });
}

void AccountView::openDashboard()
{
    run(Ends::AccountOperation, [this] { m_sync->openDashboard(); });
}

void AccountView::confirmSignOut()
{
    if (busy() || m_confirmingSignOut)
        return;
    m_confirmingSignOut = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("account.signOut.title");
    confirmation.acceptText = L("account.signOut");
    QPointer<AccountView> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingSignOut = false;
    if (accepted)
        run(Ends::AccountOperation, [this] { m_sync->signOut(); });
}

void AccountView::chooseFolder()
{
    // The panel stays open from the chooser until the store has moved the notes. The release
    // goes through its own pointer: this screen may be gone when the modal chooser returns.
    const QPointer<Dialogs> dialogs = m_dialogs;
    Q_EMIT dialogs->holdPanel();
    QPointer<AccountView> self(this);
    const auto chosen = m_dialogs->chooseFolder(window(), L("account.folder.panel.message"),
                                                m_store->notesFolder(),
                                                L("account.folder.panel.prompt"));
    if (self && chosen && !chosen->trimmed().isEmpty()) {
        m_store->relocate(*chosen);
        // What the store now uses: the new folder, or the old one when moving failed.
        m_settings->setNotesFolder(m_store->notesFolder());
    }
    if (dialogs)
        Q_EMIT dialogs->releasePanel();
}

void AccountView::revealFolder()
{
    m_store->flush();
    FileReveal::openFolder(m_store->notesFolder());
}

void AccountView::confirmEmptyTrash()
{
    if (m_confirmingEmptyTrash)
        return;
    m_confirmingEmptyTrash = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("list.emptyTrash.title", int(m_store->trashedNotes().size()));
    confirmation.acceptText = L("list.emptyTrash");
    confirmation.destructive = true;
    QPointer<AccountView> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingEmptyTrash = false;
    if (accepted)
        m_store->emptyTrash();
    refresh();
}

void AccountView::confirmDeleteNotes()
{
    if (m_confirmingDeleteNotes)
        return;
    m_confirmingDeleteNotes = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("account.deleteNotes.title");
    confirmation.message = L("account.deleteNotes.message");
    confirmation.acceptText = L("account.deleteNotes.action");
    confirmation.destructive = true;
    QPointer<AccountView> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingDeleteNotes = false;
    if (accepted)
        m_store->deleteAllNotes();
    refresh();
}

void AccountView::confirmDeleteAccount()
{
    if (busy() || m_confirmingDeleteAccount || !m_sync->account())
        return;
    m_confirmingDeleteAccount = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("account.deleteAccount.title");
    confirmation.message = L("account.deleteAccount.message");
    confirmation.acceptText = L("account.deleteAccount.action");
    confirmation.destructive = true;
    QPointer<AccountView> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingDeleteAccount = false;
    if (accepted)
        run(Ends::AccountOperation, [this] { m_sync->deleteAccount(); });
}

void AccountView::openLink(const QString &address)
{
    if (const auto url = webAddress(address))
        QDesktopServices::openUrl(*url);
}

// ---- helpers and events ---------------------------------------------------------------------

QString AccountView::displayPath(const QString &path, const QString &home)
{
    const QString cleanHome = QDir::cleanPath(home);
    const QString cleanPath = QDir::cleanPath(path);
    // "/" as home would turn every path into "~…"; a prefix must also end at a folder
    // boundary, or "/home/al" would shorten "/home/alice".
    if (cleanHome.isEmpty() || cleanHome == u"/" || home.isEmpty())
        return cleanPath;
    if (cleanPath == cleanHome)
        return QStringLiteral("~");
    if (cleanPath.startsWith(cleanHome + u'/'))
        return u'~' + cleanPath.mid(cleanHome.size());
    return cleanPath;
}

bool AccountView::isInstalledLocation(const QString &executable, const QString &home)
{
    const QString path = QDir::cleanPath(executable);
    static const QStringList systemPrefixes {
        QStringLiteral("/usr/"), QStringLiteral("/opt/"), QStringLiteral("/app/"),
        QStringLiteral("/snap/"),
    };
    for (const QString &prefix : systemPrefixes)
        if (path.startsWith(prefix))
            return true;
    const QString cleanHome = QDir::cleanPath(home);
    return !home.isEmpty() && cleanHome != u"/"
        && path.startsWith(cleanHome + QStringLiteral("/.local/"));
}

void AccountView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_settings->refreshLaunchAtLogin();
    QTimer::singleShot(0, this, [this] { m_sync->checkHealth(); });
    refresh();
}

void AccountView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
        applyLook();
        refresh();
        break;
    case QEvent::LanguageChange:
        retranslate();
        refresh();
        break;
    default:
        break;
    }
}
