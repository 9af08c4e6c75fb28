#pragma once

#include <QString>

// A question the user answers before an operation goes on. The model asks through this interface,
// so it needs no widgets and a suite can answer in its place.
struct ConfirmationRequest
{
    QString messageText;
    QString informativeText;
    // The first, default button; the answer is true only when it ends the dialog.
    QString confirmButton;
    QString cancelButton;
};

class ConfirmationPrompt
{
public:
    virtual ~ConfirmationPrompt() = default;
    // Modal: may run a nested event loop until the user answers.
    virtual bool confirm(const ConfirmationRequest &request) = 0;
};
