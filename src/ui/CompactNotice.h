#pragma once

#include "ui/NoticeStrip.h"

// A short tinted remark with a leading symbol.
class CompactNotice : public NoticeStrip
{
    Q_OBJECT

public:
    CompactNotice(const QString &symbol, const QString &text, const QColor &color, QWidget *parent = nullptr);
};
