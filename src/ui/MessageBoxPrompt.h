#pragma once

#include "core/ConfirmationPrompt.h"

#include <QPointer>
#include <QWidget>

// The warning-style alert behind ConfirmationPrompt, modal over the given window.
class MessageBoxPrompt : public ConfirmationPrompt
{
public:
    explicit MessageBoxPrompt(QWidget *parent = nullptr);
    bool confirm(const ConfirmationRequest &request) override;

private:
    QPointer<QWidget> m_parent;
};
