#include "GuideStep.h"

#include "ui/Accessibility.h"
#include "ui/TextBlock.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {

constexpr int badgeSide = 24;

// The step number, white on a highlight-coloured disc.
class NumberBadge : public QWidget
{
public:
    NumberBadge(const QString &number, QWidget *parent)
        : QWidget(parent)
        , m_number(number)
    {
        setFixedSize(badgeSide, badgeSide);
        Accessibility::setRole(this, QAccessible::StaticText);
        setAccessibleName(number);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(UiPalette::highlightColor());
        painter.drawEllipse(QRectF(rect()));
        painter.setFont(UiFont::system(12, QFont::Bold));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, m_number);
    }

private:
    QString m_number;
};

} // namespace

GuideStep::GuideStep(const QString &number, const QString &title, const QString &detail, QWidget *parent)
    : RoundedPanel(Fill::SoftPanel, 12, parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(13, 13, 13, 13);
    row->setSpacing(13);
    row->addWidget(new NumberBadge(number, this), 0, Qt::AlignTop);
    row->addWidget(new TextBlock(title, UiFont::system(14, QFont::Bold), detail, UiFont::system(12), 3, this), 1);
}
