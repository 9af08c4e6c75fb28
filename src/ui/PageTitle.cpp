#include "PageTitle.h"

#include "ui/Accessibility.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int spacing = 6;
QFont titleFont() { return UiFont::system(22, QFont::Bold); }
QFont subtitleFont() { return UiFont::system(13); }
} // namespace

PageTitle::PageTitle(const QString &title, const QString &subtitle, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
    , m_subtitle(subtitle)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    Accessibility::setRole(this, QAccessible::Heading);
    setAccessibleName(title);
    setAccessibleDescription(subtitle);
}

int PageTitle::heightForWidth(int width) const
{
    return QFontMetrics(titleFont()).height() + spacing + UiFont::wrappedHeight(subtitleFont(), m_subtitle, width);
}

QSize PageTitle::sizeHint() const
{
    const int width = qMax(QFontMetrics(titleFont()).horizontalAdvance(m_title),
                           QFontMetrics(subtitleFont()).horizontalAdvance(m_subtitle));
    return {width, heightForWidth(width)};
}

void PageTitle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int titleHeight = QFontMetrics(titleFont()).height();
    painter.setFont(titleFont());
    painter.setPen(UiPalette::primaryTextColor(palette()));
    painter.drawText(QRect(0, 0, width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter, m_title);
    painter.setFont(subtitleFont());
    painter.setPen(UiPalette::secondaryTextColor(palette()));
    painter.drawText(QRect(0, titleHeight + spacing, width(), height() - titleHeight - spacing),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_subtitle);
}
