#include "MessageBoxPrompt.h"

#include "core/AppConstants.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace {
// Wide enough for the uninstall question's informative sentence on two lines.
constexpr int readingWidth = 380;
}

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
    // Outside the Mac, QMessageBox wraps the informative text into a column as narrow as its
    // shortest line; a row that spans the whole grid gives the alert a reading width.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        grid->addItem(new QSpacerItem(readingWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0,
                      1, grid->columnCount());
    }
    box.exec();
    return box.clickedButton() == confirm;
}
