#include "port_form.h"

#include "app/application.h"

TForm1::TForm1() : TForm(Application ? Application->MainForm() : nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Setting"));
    resize(221, 220);
    SetPosition(TPosition::poOwnerFormCenter);
}

void TForm1::sButton1Click(QObject*) {}
void TForm1::sButton2Click(QObject*) { hide(); }
