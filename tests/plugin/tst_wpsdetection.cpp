#include "plugin/WpsDetection.h"

#include <QTest>

class tst_WpsDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data();
    void matches();
};

void tst_WpsDetection::matches_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("wps");

    QTest::newRow("WPS's own identifier") << "com.kingsoft.wpsoffice.mac" << "" << true;
    QTest::newRow("identifier containing wpsoffice, any case") << "cn.example.WPSOffice.helper" << "x" << true;
    QTest::newRow("name WPS Office, any case") << "" << "wps OFFICE" << true;
    QTest::newRow("name containing wpsoffice") << "" << "MyWPSOffice" << true;
    QTest::newRow("name beginning with WPS Office") << "" << "WPS Office Helper" << false;
    QTest::newRow("kingsoft, not wpsoffice") << "com.kingsoft.reader" << "WPS" << false;
    QTest::newRow("nothing known") << "" << "" << false;
}

void tst_WpsDetection::matches()
{
    QFETCH(QString, identifier);
    QFETCH(QString, name);
    QFETCH(bool, wps);
    QCOMPARE(WpsDetection::matches({1, identifier, name, {}}), wps);
}

QTEST_GUILESS_MAIN(tst_WpsDetection)
#include "tst_wpsdetection.moc"
