#include "boxes.h"

#include "application.h"
#include "form.h"

#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

void ShowNotice(const QString& Text)
{
    QMessageBox Box(QApplication::activeWindow());
    Box.setObjectName(QStringLiteral("NoticeBox"));
    Box.setWindowTitle(Application ? Application->Title : QString());
    Box.setIcon(QMessageBox::NoIcon);
    Box.setTextFormat(Qt::PlainText);
    Box.setText(NoticeBoxText(Text));
    QPushButton* Ok = Box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    Box.setDefaultButton(Ok);
    Box.setWindowModality(Qt::ApplicationModal);
    // Centred in the work area of the screen that shows the active window, not over the
    // window itself; the box knows its size only once shown.
    QScreen* Screen = PlacementScreen(QApplication::activeWindow());
    Box.show();
    if (Screen)
        CentreWindow(&Box, Screen->availableGeometry(), Screen);
    Box.exec();
}
