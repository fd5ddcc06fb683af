// The yardstick: the least Qt Widgets program that shows a window of the tool's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication App(argc, argv);
    QWidget Window;
    Window.resize(720, 602);
    Window.setWindowTitle(QStringLiteral("Minimal"));
    Window.show();
    return App.exec();
}
