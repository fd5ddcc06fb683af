#include "boxes.h"

#include "application.h"
#include "form.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

void LetTextBeCopied(QMessageBox& Box)
{
    Box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* Copy = new QAction(&Box);
    Copy->setShortcut(QKeySequence::Copy);
    Copy->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(Copy, &QAction::triggered, &Box, [&Box] {
        const auto* Label = Box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        const QString Selected = Label ? Label->selectedText() : QString();
        QGuiApplication::clipboard()->setText(Selected.isEmpty() ? Box.text() : Selected);
    });
    Box.addAction(Copy);
}

void ShowNotice(const QString& Text)
{
    QMessageBox Box(QApplication::activeWindow());
    Box.setObjectName(QStringLiteral("NoticeBox"));
    Box.setWindowTitle(Application ? Application->Title : QString());
    Box.setIcon(QMessageBox::NoIcon);
    Box.setTextFormat(Qt::PlainText);
    Box.setText(NoticeBoxText(Text));
    LetTextBeCopied(Box);
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
