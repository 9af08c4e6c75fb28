#include "MessageBoxPrompt.h"

#include <QMessageBox>
#include <QPushButton>

MessageBoxPrompt::MessageBoxPrompt(QWidget *parent)
    : m_parent(parent)
{
}

bool MessageBoxPrompt::confirm(const ConfirmationRequest &request)
{
    QMessageBox box(QMessageBox::Warning, QString(), request.messageText, QMessageBox::NoButton, m_parent.data());
    box.setInformativeText(request.informativeText);
    QPushButton *confirm = box.addButton(request.confirmButton, QMessageBox::AcceptRole);
    box.addButton(request.cancelButton, QMessageBox::RejectRole);
    box.setDefaultButton(confirm);
    box.exec();
    return box.clickedButton() == confirm;
}
