#pragma once

#include <QList>
#include <QString>
#include <QUuid>

// One page of the vendor's site that an online page offers as a tab.
struct OnlineDestination
{
    QUuid id = QUuid::createUuid();
    QString title;
    QString symbol;
    QString path;
    QString detail;

    // The entries of the "服务方案" and "账户设置" pages.
    static QList<OnlineDestination> servicePlanEntries();
    static QList<OnlineDestination> accountEntries();
};
