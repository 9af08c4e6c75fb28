#include "Sidebar.h"

#include "model/AuthToolModel.h"
#include "ui/Accessibility.h"
#include "ui/SidebarItem.h"
#include "ui/SmallStatusPill.h"
#include "ui/UiFont.h"
#include "ui/ProductMark.h"
#include "ui/UiPalette.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The product's mark, 40 × 40, drawn rather than taken from the window's icon, which a desktop
// may leave unset or hand back as a blur at this size.
class AppIconView : public QWidget
{
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {40, 40}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        ProductMark::paint(&painter, QRectF(rect()));
    }
};

// A one-line text in the system font, painted in a palette-derived colour.
class HeaderText : public QWidget
{
public:
    HeaderText(const QString &text, const QFont &font, bool secondary, QWidget *parent)
        : QWidget(parent), m_text(text), m_font(font), m_secondary(secondary)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        Accessibility::setRole(this, QAccessible::StaticText);
        setAccessibleName(text);
    }
    QSize sizeHint() const override
    {
        const QFontMetrics metrics(m_font);
        return {metrics.horizontalAdvance(m_text), metrics.height()};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setFont(m_font);
        painter.setPen(m_secondary ? UiPalette::secondaryTextColor(palette()) : UiPalette::primaryTextColor(palette()));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }

private:
    QString m_text;
    QFont m_font;
    bool m_secondary;
};

} // namespace

Sidebar::Sidebar(AuthToolModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setFixedWidth(fixedWidth);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(22);
    column->addWidget(createHeader());

    auto *pageList = new QVBoxLayout;
    pageList->setSpacing(8);
    for (AppPage page : allAppPages()) {
        auto *item = new SidebarItem(appPageSymbol(page), appPageTitle(page), this);
        connect(item, &SidebarItem::clicked, this, [this, page] { Q_EMIT pageChosen(page); });
        connect(item, &SidebarItem::stepRequested, this, [this, page](int step) { stepFrom(page, step); });
        m_items.insert(page, item);
        pageList->addWidget(item);
    }
    column->addLayout(pageList);
    column->addStretch(1);

    m_networkPill = new SmallStatusPill(QString(), QColor(), this);
    column->addWidget(m_networkPill, 0, Qt::AlignLeft);
    connect(m_model, &AuthToolModel::isOnlineChanged, this, &Sidebar::syncNetworkPill);
    syncNetworkPill();
}

QWidget *Sidebar::createHeader()
{
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto *icon = new AppIconView(header);
    icon->setFixedSize(40, 40);
    row->addWidget(icon);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addStretch(1);
    texts->addWidget(new HeaderText(QStringLiteral("Corvanta"), UiFont::system(15, QFont::Bold), false, header));
    texts->addWidget(new HeaderText(QStringLiteral("管理工具"), UiFont::system(12), true, header));
    texts->addStretch(1);
    row->addLayout(texts, 1);
    return header;
}

void Sidebar::setActivePage(AppPage page)
{
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        it.value()->setActive(it.key() == page);
}

void Sidebar::stepFrom(AppPage page, int step)
{
    // The arrows walk the list as a selection does: the next entry takes focus and its page shows.
    const QList<AppPage> pages = allAppPages();
    const qsizetype next = pages.indexOf(page) + step;
    if (next < 0 || next >= pages.size())
        return;
    m_items.value(pages.at(next))->setFocus(Qt::TabFocusReason);
    Q_EMIT pageChosen(pages.at(next));
}

void Sidebar::syncNetworkPill()
{
    m_networkPill->setStatus(m_model->networkLabel(), m_model->isOnline() ? UiPalette::green() : UiPalette::orange());
}

void Sidebar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), UiPalette::sidebarColor(palette()));
}

void Sidebar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange)
        update();
    QWidget::changeEvent(event);
}
