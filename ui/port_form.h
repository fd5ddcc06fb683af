// The port selection dialog "Setting": a small tool window owned by the main window.
#pragma once

#include "app/form.h"

class QComboBox;
class QLabel;
class QPushButton;

class TForm1 : public TForm
{
    Q_OBJECT

public:
    TForm1();

    void sButton1Click(QObject* Sender); // OK
    void sButton2Click(QObject* Sender); // Cancel

private:
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* sButton1 = nullptr;
    QPushButton* sButton2 = nullptr;
};
