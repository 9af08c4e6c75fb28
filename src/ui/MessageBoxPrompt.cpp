#include "MessageBoxPrompt.h"

#include "core/AppConstants.h"

#include <QMessageBox>
#include <QPushButton>

MessageBoxPrompt::MessageBoxPrompt(QWidget *parent)
    : m_parent(parent)
{
}

bool MessageBoxPrompt::confirm(const ConfirmationRequest &request)
{
    // An alert has no title on the Mac; elsewhere an empty one would show the executable's name.
    QMessageBox box(QMessageBox::Warning, managementToolName, request.messageText, QMessageBox::NoButton,
                    m_parent.data());
    box.setInformativeText(request.informativeText);
    QPushButton *confirm = box.addButton(request.confirmButton, QMessageBox::AcceptRole);
    box.addButton(request.cancelButton, QMessageBox::RejectRole);
    box.setDefaultButton(confirm);
    box.exec();
    return box.clickedButton() == confirm;
}
