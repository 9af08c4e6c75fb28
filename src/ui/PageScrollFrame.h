#pragma once

#include <QScrollArea>

class QVBoxLayout;

// The frame of a page: a vertical scroll view filling the main panel whose content is one
// leading-aligned column, spacing 18, no wider than the page's maximum width, kept top-leading.
class PageScrollFrame : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int stackSpacing = 18;

    PageScrollFrame(int maximumWidth, QWidget *parent = nullptr);

    // The column; pages add their parts to it in order.
    QVBoxLayout *stack() const { return m_stack; }
    QWidget *column() const { return m_column; }

private:
    QWidget *m_column = nullptr;
    QVBoxLayout *m_stack = nullptr;
};
