// The window's side of the port list, the about window and the help document.
#include "main_form.h"

#include "about_form.h"
#include "forms.h"
#include "last_port.h"
#include "port_form.h"
#include "serial/port_list.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

void TForm4::sSpeedButton4Click(QObject*)
{
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

// Whether the document opened is the desktop's business: nothing is shown either way.
void TForm4::sSpeedButton5Click(QObject*)
{
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Help.pdf")));
}

void TForm4::PortConnected(const QString& Port) { RememberLastPort(Port); }

// A port that cannot be read ends the filling; the ports added before it stay in the list.
void TForm4::FillPortList()
{
    Form1->ClearPorts();
    EnumSerialPorts([](const QString& Port) { Form1->AddSystemPort(Port); });
    Form1->SelectLastPort();
}
