#pragma once

#include "ui/RoundedPanel.h"

class QAbstractButton;

// A card with a clickable heading (chevron, symbol, title) that shows or hides its content.
class DisclosureGroup : public RoundedPanel
{
    Q_OBJECT

public:
    DisclosureGroup(const QString &symbol, const QString &title, QWidget *content, QWidget *parent = nullptr);

    bool isExpanded() const;
    void setExpanded(bool expanded);
    QAbstractButton *header() const { return m_header; }
    QWidget *content() const { return m_content; }

Q_SIGNALS:
    void expandedChanged(bool expanded);

private:
    QAbstractButton *m_header;
    QWidget *m_content;
    QWidget *m_body;
};
