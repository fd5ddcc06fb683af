// Test and benchmark support: the three windows made in the program's order, the main window
// shown, for programs that drive the tool in their own process.
#pragma once

#include "app/application.h"
#include "ui/about_form.h"
#include "ui/forms.h"
#include "ui/main_form.h"
#include "ui/port_form.h"

inline void CreateProgramForms()
{
    Application->Title = QStringLiteral("Morvel SMS Controller");
    Application->CreateForm(Form4);
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
    Form4->show();
}
