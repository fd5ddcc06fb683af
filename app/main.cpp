// Program entry: the application object, the three windows in order, the main loop.
#include "app/application.h"
#include "ui/about_form.h"
#include "ui/forms.h"
#include "ui/image.h"
#include "ui/main_form.h"
#include "ui/port_form.h"
#include "ui/skin.h"

#include <QIcon>

int main(int argc, char** argv)
{
    TApplication App(argc, argv);
    LoadSkin();
    QApplication::setWindowIcon(QIcon(PictureFromResource(QStringLiteral(":/icons/app.pixels"))));
    Application->Initialize();
    Application->MainFormOnTaskBar = true;
    Application->Title = QStringLiteral("Morvel SMS Controller");
    Application->CreateForm(Form4);
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
    Application->Run();
    return 0;
}
