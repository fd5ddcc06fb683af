#include "about_form.h"

#include "app/application.h"

TForm2::TForm2() : TForm(Application ? Application->MainForm() : nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    resize(297, 205);
    SetPosition(TPosition::poOwnerFormCenter);
}

void TForm2::Image1Click(QObject*) { hide(); }
