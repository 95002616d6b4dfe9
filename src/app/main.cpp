#include "app/AppDelegate.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.launch())
        return 1;
    return app.exec();
}
