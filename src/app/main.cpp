#include "model/AuthToolModel.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AuthToolModel model;
    QWidget window;
    window.resize(1160, 760);
    window.show();
    model.bootstrap();
    return app.exec();
}
