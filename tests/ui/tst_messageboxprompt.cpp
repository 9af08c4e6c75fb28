#include "ui/MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class tst_MessageBoxPrompt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void asksUnderTheToolsName_data();
    void asksUnderTheToolsName();
};

void tst_MessageBoxPrompt::asksUnderTheToolsName_data()
{
    QTest::addColumn<bool>("pressConfirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

// The dialog's title is the tool's name, not the executable's; it is wide enough to read the
// question's sentence on a line or two; the answer is the button pressed.
void tst_MessageBoxPrompt::asksUnderTheToolsName()
{
    QFETCH(bool, pressConfirm);
    QWidget window;
    window.show();
    MessageBoxPrompt prompt(&window);
    QString title, text;
    int width = 0;
    QStringList buttons;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        width = box->width();
        text = box->text() + u'|' + box->informativeText();
        for (QAbstractButton *button : box->buttons())
            buttons.append(button->text());
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == (pressConfirm ? QStringLiteral("卸载") : QStringLiteral("取消")))
                button->click();
        }
    });

    const bool answer = prompt.confirm({QStringLiteral("卸载 Corvanta分析插件？"), QStringLiteral("只会移除加载项。"),
                                        QStringLiteral("卸载"), QStringLiteral("取消")});
    QCOMPARE(answer, pressConfirm);
    QCOMPARE(title, QStringLiteral("Corvanta 管理工具"));
    QVERIFY2(width >= 380, qPrintable(QString::number(width)));
    QCOMPARE(text, QStringLiteral("卸载 Corvanta分析插件？|只会移除加载项。"));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("卸载"), QStringLiteral("取消")}));
}

QTEST_MAIN(tst_MessageBoxPrompt)
#include "tst_messageboxprompt.moc"
