#pragma once

#include "ui/RoundedPanel.h"

// A boxed remark on the guide page: a heading over a wrapping note.
class GuideNote : public RoundedPanel
{
    Q_OBJECT

public:
    GuideNote(const QString &heading, const QString &note, QWidget *parent = nullptr);
};
