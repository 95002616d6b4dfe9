// The server address setting: what counts as an address, and what a stored value reads as.
#include "TestSupport.h"

#include "settings/AppSettings.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class ServerAddressSettingTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        qunsetenv("SCRIVEL_DEV_SERVER");
    }

    void normalized_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("https with path, spaces and slashes")
            << "  https://Notes.Example.org/scrivel///  " << "https://notes.example.org/scrivel";
        QTest::newRow("https with port") << "https://h.example:8443" << "https://h.example:8443";
        QTest::newRow("http to 127.0.0.1") << "http://127.0.0.1:8080/" << "http://127.0.0.1:8080";
        QTest::newRow("http to localhost") << "http://localhost:8080" << "http://localhost:8080";
        QTest::newRow("http to ::1") << "http://[::1]:8080" << "http://[::1]:8080";
        QTest::newRow("http over the network") << "http://192.168.1.2:8080" << "";
        QTest::newRow("http to a name that looks local") << "http://localhost.evil.com" << "";
        QTest::newRow("another scheme") << "ftp://files.example.org" << "";
        QTest::newRow("javascript") << "javascript:alert(1)" << "";
        QTest::newRow("no host") << "https://" << "";
        QTest::newRow("user info") << "https://me:pw@example.org" << "";
        QTest::newRow("query") << "https://example.org/?a=b" << "";
        QTest::newRow("empty") << "   " << "";
        QTest::newRow("words") << "my server" << "";
    }
    void normalized()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const auto url = AppSettings::normalizedServerURL(text);
        QCOMPARE(url.value_or(QString()), expected);
    }

    void stored_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QVariant() << AppSettings::productionServerURL;
        QTest::newRow("own server") << QVariant("https://notes.example.org/")
                                    << "https://notes.example.org";
        QTest::newRow("plain http elsewhere") << QVariant("http://example.org")
                                              << AppSettings::productionServerURL;
        QTest::newRow("garbage") << QVariant("\x01\x02") << AppSettings::productionServerURL;
    }
    void stored()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        if (stored.isValid()) {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue(QStringLiteral("serverURL"), stored);
        }
        AppSettings settings(file);
        QCOMPARE(settings.serverURL(), expected);
        QVERIFY(!settings.serverURLOverridden());
    }

    void setting()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        AppSettings settings(file);
        QSignalSpy changed(&settings, &AppSettings::serverURLChanged);
        QVERIFY(!settings.setServerURL(QStringLiteral("http://example.org")));
        QCOMPARE(changed.count(), 0);
        QVERIFY(settings.setServerURL(QStringLiteral("https://notes.example.org")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(AppSettings(file).serverURL(), QStringLiteral("https://notes.example.org"));
        // Back to the standard server: nothing is stored any more.
        QVERIFY(settings.setServerURL(QString::fromLatin1(AppSettings::productionServerURL)));
        QCOMPARE(changed.count(), 2);
        QVERIFY(!QSettings(file, QSettings::IniFormat).contains(QStringLiteral("serverURL")));
    }
};

QTEST_GUILESS_MAIN(ServerAddressSettingTest)
#include "tst_serveraddress.moc"
