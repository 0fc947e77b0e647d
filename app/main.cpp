#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Cartola - Orley Software"));
    window.resize(735, 735);
    window.show();
    return app.exec();
}
