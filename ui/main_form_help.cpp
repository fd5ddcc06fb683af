// The window's side of the port list, the about window and the help document.
#include "main_form.h"

void TForm4::sSpeedButton4Click(QObject*) {}
void TForm4::sSpeedButton5Click(QObject*) {}
void TForm4::FillPortList() {}
