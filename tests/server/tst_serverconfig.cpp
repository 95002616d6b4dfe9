// The server's configuration (file, environment, their order, the starter file) and the
// checks of a Google ID token.
#include "GoogleAuth.h"
#include "ServerFixture.h"
#include "ServerConfig.h"

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TestServerConfig : public QObject
{
    Q_OBJECT

    static QString write(QTemporaryDir &dir, const QString &text)
    {
        const QString path = dir.filePath(QStringLiteral("server.conf"));
        TestSupport::writeFile(path, text.toUtf8());
        return path;
    }

private Q_SLOTS:
    void values_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("listen"); // host:port
        QTest::addColumn<QString>("database");
        QTest::addColumn<qint64>("mediaQuota");
        QTest::addColumn<QString>("error"); // part of the message, empty: loads
        QTest::newRow("defaults") << "" << QStringList() << "127.0.0.1:8787" << "sqlite" << qint64(1) << "";
        QTest::newRow("file")
            << "# comment\nlisten = 0.0.0.0:9000\nmedia_quota = 10M\n" << QStringList() << "0.0.0.0:9000"
            << "sqlite" << qint64(10 * 1024 * 1024) << "";
        QTest::newRow("environment wins over the file")
            << "listen = 0.0.0.0:9000\n"
            << QStringList { "SCRIVEL_SERVER_LISTEN=127.0.0.1:7000",
                             "SCRIVEL_SERVER_DATABASE=postgresql://u:p@db:5432/notes" }
            << "127.0.0.1:7000" << "postgresql://u:p@db:5432/notes" << qint64(1) << "";
        QTest::newRow("IPv6 listen") << "listen = [::1]:8000\n" << QStringList() << "::1:8000" << "sqlite" << qint64(1) << "";
        QTest::newRow("unknown key") << "colour = blue\n" << QStringList() << "" << "" << qint64(0) << "unknown key colour";
        QTest::newRow("no equals sign") << "listen 1\n" << QStringList() << "" << "" << qint64(0) << ":1: expected key = value";
        QTest::newRow("bad port") << "" << QStringList { "SCRIVEL_SERVER_LISTEN=localhost" } << "" << "" << qint64(0) << "address:port";
        QTest::newRow("bad size") << "media_quota = lots\n" << QStringList() << "" << "" << qint64(0) << "size";
        QTest::newRow("bad database") << "database = mysql://x\n" << QStringList() << "" << "" << qint64(0) << "postgresql://";
        QTest::newRow("bad telemetry") << "telemetry = sometimes\n" << QStringList() << "" << "" << qint64(0) << "telemetry";
        QTest::newRow("bad public address") << "public_url = ftp://x\n" << QStringList() << "" << "" << qint64(0) << "public_url";
    }

    void values()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, environment);
        QFETCH(QString, listen);
        QFETCH(QString, database);
        QFETCH(qint64, mediaQuota);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QProcessEnvironment env;
        for (const QString &entry : environment)
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        const auto config = ServerConfig::load(file.isEmpty() ? QString() : write(dir, file), env);
        if (!error.isEmpty()) {
            QVERIFY(!config);
            QVERIFY2(config.error().contains(error), qPrintable(config.error()));
            return;
        }
        QVERIFY2(config, qPrintable(config ? QString() : config.error()));
        QCOMPARE(config->listenHost + u':' + QString::number(config->listenPort), listen);
        QCOMPARE(config->database, database);
        if (mediaQuota > 1)
            QCOMPARE(config->mediaQuota, mediaQuota);
        QVERIFY(QDir::isAbsolutePath(config->dataDir));
    }

    // Every line of the starter file, uncommented, loads and gives the defaults back.
    void starterFileLoads()
    {
        QTemporaryDir dir;
        QString text = ServerConfig::starterFile();
        QStringList lines = text.split(u'\n');
        for (QString &line : lines)
            if (line.startsWith(u'#') && line.contains(QStringLiteral(" = ")) && !line.startsWith(QStringLiteral("# ")))
                line.remove(0, 1);
        lines.removeIf([](const QString &line) { return line.startsWith(QStringLiteral("data =")) || line.startsWith(QStringLiteral("google_client")); });
        const auto config = ServerConfig::load(write(dir, lines.join(u'\n')), {});
        QVERIFY2(config, qPrintable(config ? QString() : config.error()));
        const ServerConfig defaults;
        QCOMPARE(config->listenPort, defaults.listenPort);
        QCOMPARE(config->mediaMaxFile, defaults.mediaMaxFile);
        QCOMPARE(config->telemetry, defaults.telemetry);
        QVERIFY(text.contains(QStringLiteral("SCRIVEL_SERVER_DATABASE")));
    }

    void idTokenChecks_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::newRow("good") << "" << "";
        QTest::newRow("issuer without scheme") << "iss=accounts.google.com" << "";
        QTest::newRow("audience in a list") << "aud=[client-1]" << "";
        QTest::newRow("another client") << "aud=client-2" << "another client";
        QTest::newRow("another issuer") << "iss=https://evil.example" << "another issuer";
        QTest::newRow("expired") << "exp=past" << "expired";
        QTest::newRow("unverified e-mail") << "email_verified=false" << "not verified";
        QTest::newRow("no subject") << "sub=" << "no subject";
    }

    void idTokenChecks()
    {
        QFETCH(QString, change);
        QFETCH(QString, error);
        const double now = 1.8e12;
        QJsonObject claims { { QStringLiteral("iss"), QStringLiteral("https://accounts.google.com") },
                             { QStringLiteral("aud"), QStringLiteral("client-1") },
                             { QStringLiteral("sub"), QStringLiteral("g-1") },
                             { QStringLiteral("email"), QStringLiteral("a@example.com") },
                             { QStringLiteral("email_verified"), true },
                             { QStringLiteral("exp"), now / 1000 + 60 } };
        const QString key = change.section(u'=', 0, 0);
        const QString value = change.section(u'=', 1);
        if (key == u"aud" && value.startsWith(u'['))
            claims.insert(key, QJsonArray { value.mid(1, value.size() - 2) });
        else if (key == u"exp")
            claims.insert(key, now / 1000 - 1);
        else if (key == u"email_verified")
            claims.insert(key, false);
        else if (!key.isEmpty())
            claims.insert(key, value);
        const auto identity = identityFromIdToken(ServerFixture::idToken(claims), QStringLiteral("client-1"),
                                                  QStringLiteral("https://accounts.google.com"), now);
        if (error.isEmpty())
            QVERIFY2(identity, qPrintable(identity ? QString() : identity.error()));
        else
            QVERIFY2(!identity && identity.error().contains(error), qPrintable(identity ? QStringLiteral("accepted") : identity.error()));
    }

    void sizes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("bytes") << "512" << qint64(512);
        QTest::newRow("kibibytes") << "64K" << qint64(65536);
        QTest::newRow("with B") << "10MB" << qint64(10 * 1024 * 1024);
        QTest::newRow("gibibytes") << "1g" << qint64(1024LL * 1024 * 1024);
        QTest::newRow("negative") << "-1" << qint64(-1);
        QTest::newRow("words") << "big" << qint64(-1);
        QTest::newRow("absurd") << "99999999999G" << qint64(-1);
    }

    void sizes()
    {
        QFETCH(QString, text);
        QFETCH(qint64, bytes);
        QCOMPARE(parseSize(text), bytes);
    }
};

QTEST_GUILESS_MAIN(TestServerConfig)
#include "tst_serverconfig.moc"
