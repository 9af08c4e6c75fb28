#include "PageScrollFrame.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

PageScrollFrame::PageScrollFrame(int maximumWidth, QWidget *parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    // The page's controls take focus from the keyboard; the frame itself never does.
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);

    auto *content = new QWidget;
    content->setAutoFillBackground(false);
    auto *row = new QHBoxLayout(content);
    // The content never gets less than its parts need, so a short window scrolls instead of
    // squeezing them (the scroll area alone misses parts shown or grown after it was set up).
    row->setSizeConstraint(QLayout::SetMinimumSize);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_column = new QWidget(content);
    m_column->setMaximumWidth(maximumWidth);
    m_stack = new QVBoxLayout(m_column);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(stackSpacing);
    m_stack->setAlignment(Qt::AlignTop);
    row->addWidget(m_column, 1);
    row->addStretch(0);
    setWidget(content);
}
