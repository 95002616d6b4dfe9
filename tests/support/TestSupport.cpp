#include "TestSupport.h"

#include "ai/local/RecognizerModule.h"
#include "base/Localization.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>

namespace TestSupport {

TempFolders::TempFolders() = default;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

bool writeExecutable(const QString &path, const QByteArray &data)
{
    return writeFile(path, data)
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void initTestEnvironment()
{
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::temp().filePath(QStringLiteral("scrivel-test-runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    }
    // Test programs live in folders of their own: the recognizers are this build's, never an
    // installed copy.
    if (qEnvironmentVariableIsEmpty(RecognizerModule::folderVariable))
        qputenv(RecognizerModule::folderVariable, QByteArrayLiteral(SCRIVEL_RECOGNIZERS_BUILD_DIR));
    Localization::setLanguage(AppLanguage::En);
}

QString unusedAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

} // namespace TestSupport
