#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QJsonObject result;
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}
