#include "start_up.h"

#include "about_form.h"
#include "app/application.h"
#include "forms.h"
#include "image.h"
#include "main_form.h"
#include "port_form.h"
#include "skin.h"

#include <QIcon>

void PrepareApplication()
{
    LoadSkin();
    QApplication::setWindowIcon(QIcon(PictureFromResource(QStringLiteral(":/icons/app.pixels"))));
    Application->Initialize();
    Application->MainFormOnTaskBar = true;
    Application->Title = QStringLiteral("Morvel SMS Controller");
}

void CreateProgramForms()
{
    Application->CreateForm(Form4);
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
}
