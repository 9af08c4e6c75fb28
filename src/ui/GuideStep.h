#pragma once

#include "ui/RoundedPanel.h"

// One numbered step of the guide: a round badge with the number, a title and a wrapping detail.
class GuideStep : public RoundedPanel
{
    Q_OBJECT

public:
    GuideStep(const QString &number, const QString &title, const QString &detail, QWidget *parent = nullptr);
};
