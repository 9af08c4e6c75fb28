#include "GuideNote.h"

#include "ui/TextBlock.h"
#include "ui/UiFont.h"

#include <QVBoxLayout>

GuideNote::GuideNote(const QString &heading, const QString &note, QWidget *parent)
    : RoundedPanel(Fill::SoftPanel, 12, parent)
{
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->addWidget(new TextBlock(heading, UiFont::system(14, QFont::Bold), note, UiFont::system(13), 8, this));
}
