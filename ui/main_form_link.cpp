// The window's side of the device exchange: connect, receive, import and export.
#include "main_form.h"

void TForm4::FormCreate(QObject*) {}
void TForm4::sSpeedButton2Click(QObject*) {}
void TForm4::sSpeedButton3Click(QObject*) {}
void TForm4::sSpeedButton6Click(QObject*) {}
void TForm4::ComPort1RxChar(QObject*, int) {}
void TForm4::ApplyImportedLine(std::uint8_t, const QString&) {}
void TForm4::ExportConfiguration() {}
