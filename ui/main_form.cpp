#include "main_form.h"

#include "app/guard.h"
#include "device/export_plan.h"
#include "device/link_control.h"
#include "image.h"
#include "image_list.h"
#include "page_control.h"
#include "pages.h"
#include "skin.h"
#include "speed_button.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLineEdit>
#include <QProgressBar>

namespace {
const char* const IconFiles[] = {
    ":/icons/00-gears-pause.pixels", ":/icons/01-gears-play.pixels",  ":/icons/02-bulb-off.pixels",
    ":/icons/03-bulb-on.pixels",     ":/icons/04-exit-door.pixels",   ":/icons/05-window-star.pixels",
    ":/icons/06-info-bubble.pixels", ":/icons/07-help.pixels",        ":/icons/08-import.pixels",
    ":/icons/09-floppy.pixels",      ":/icons/10-plus.pixels",        ":/icons/11-cross.pixels",
    ":/icons/12-open-folder.pixels", ":/icons/13-save-page.pixels",
};

struct TToolButtonDef
{
    TSpeedButton* TForm4::*Member;
    const char* Name;
    const char* Caption;
    int Left;
    int ImageIndex;
    int Spacing;
    int Width;
    bool Enabled;
    const char* Description; // for screen readers; the caption is the name
};
} // namespace

TForm4::TForm4() : TForm(nullptr, Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Morvel SMS Controller") + QString(9, u' ') +
                   QString::fromLatin1(MakerWebAddress));
    setFixedSize(720, 602);
    SetPosition(TPosition::poDesktopCenter);
    CreateComponents();
    CreateComPort();
    BindHandlers();
    BindShortcuts();
    FormCreate(this);
}

void TForm4::CreateComponents()
{
    ImageList32 = new TImageList(this, 32, 32);
    ImageList32->setObjectName(QStringLiteral("ImageList32"));
    for (const char* File : IconFiles)
        ImageList32->Add(PictureFromResource(QString::fromLatin1(File)));

    sPanel1 = new QFrame(this);
    sPanel1->setObjectName(QStringLiteral("sPanel1"));
    SetSkinSection(sPanel1, "PANEL");
    sPanel1->setGeometry(0, 0, 720, 602);
    sPanel1->setEnabled(false);

    sPageControl1 = new TPageControl(sPanel1);
    sPageControl1->setObjectName(QStringLiteral("sPageControl1"));
    sPageControl1->setGeometry(6, 64, 710, 560);
    const QString Pad10(10, u' '), Pad6(6, u' '), Pad7(7, u' ');
    sTabSheet1 = sPageControl1->AddPage(QStringLiteral("sTabSheet1"), Pad10 + "Output" + Pad10);
    sPageControl2 = sPageControl1->AddPage(QStringLiteral("sPageControl2"), Pad10 + "Input" + Pad10);
    sTabSheet2 = sPageControl1->AddPage(QStringLiteral("sTabSheet2"), Pad6 + "Tell Number" + Pad6);
    sTabSheet3 = sPageControl1->AddPage(QStringLiteral("sTabSheet3"), Pad7 + "Config" + Pad7);
    CreatePageContent(sTabSheet1, TPageContent::Output);
    CreatePageContent(sPageControl2, TPageContent::Input);
    CreatePageContent(sTabSheet2, TPageContent::TellNumber);
    CreatePageContent(sTabSheet3, TPageContent::Config);
    sPageControl1->SetActivePageIndex(0);

    // Created last on its page, so it lies over the Output rows 3 to 9.
    sPanel2 = new QFrame(sTabSheet1);
    sPanel2->setObjectName(QStringLiteral("sPanel2"));
    SetSkinSection(sPanel2, "PANEL");
    sPanel2->setProperty("overlay", true);
    sPanel2->setGeometry(3, 122, 696, 244);
    sPanel2->setFocusPolicy(Qt::NoFocus);
    Image5 = new TImage(sPanel2);
    Image5->setObjectName(QStringLiteral("Image5"));
    Image5->setGeometry(3, 0, 694, 244);
    Image5->LoadPicture(QStringLiteral(":/pictures/overlay.pixels"));
    // What the picture's Persian text asks.
    Image5->setAccessibleName(
        QStringLiteral("To activate the pages, connect to the device and then choose Import"));

    // Not a child of sPanel1, so it stays usable while the pages are disabled.
    sCoolBar1 = new QFrame(this);
    sCoolBar1->setObjectName(QStringLiteral("sCoolBar1"));
    SetSkinSection(sCoolBar1, "TOOLBAR");
    sCoolBar1->setFrameShape(QFrame::Panel);
    sCoolBar1->setFrameShadow(QFrame::Raised);
    sCoolBar1->setLineWidth(1);
    sCoolBar1->setGeometry(0, 0, 720, 64);

    // Open and Save share the 150 pixels between Help and Exit.
    static const TToolButtonDef Buttons[] = {
        {&TForm4::sSpeedButton3, "sSpeedButton3", "Import", 6, 8, 2, 93, false,
         "Reads the configuration stored in the device into the pages"},
        {&TForm4::sSpeedButton6, "sSpeedButton6", "Export", 99, 9, 2, 93, false,
         "Writes the pages' configuration into the device"},
        {&TForm4::sSpeedButton2, "sSpeedButton2", "Connect", 192, 2, 2, 93, true,
         "Connects to the device on the chosen serial port, or disconnects from it"},
        {&TForm4::sSpeedButton4, "sSpeedButton4", "About", 285, 6, 2, 93, true,
         "Shows the program's name, version and maker"},
        {&TForm4::sSpeedButton5, "sSpeedButton5", "Help", 378, 7, 2, 93, true,
         "Opens the help document"},
        {&TForm4::sBitBtn1, "sBitBtn1", "Exit", 621, 4, 8, 93, true, "Closes the program"},
        {&TForm4::sSpeedButton7, "sSpeedButton7", "Open", 471, 12, 2, 75, true,
         "Fills the pages from a configuration file"},
        {&TForm4::sSpeedButton8, "sSpeedButton8", "Save", 546, 13, 2, 75, true,
         "Writes the pages' configuration to a file"},
    };
    for (const auto& Def : Buttons) {
        auto* Button = new TSpeedButton(sCoolBar1, ImageList32, Def.ImageIndex,
                                        QString::fromLatin1(Def.Caption), Def.Spacing);
        Button->setObjectName(QString::fromLatin1(Def.Name));
        Button->setGeometry(Def.Left, 6, Def.Width, 52);
        Button->setEnabled(Def.Enabled);
        Button->setAccessibleDescription(QString::fromLatin1(Def.Description));
        this->*Def.Member = Button;
    }
    PrepareFiles();

    sProgressBar1 = new QProgressBar(this);
    sProgressBar1->setObjectName(QStringLiteral("sProgressBar1"));
    SetSkinSection(sProgressBar1, "GAUGE");
    sProgressBar1->setGeometry(23, 44, 150, 17);
    sProgressBar1->setRange(0, ProgressMaximum);
    sProgressBar1->setValue(0);
    sProgressBar1->setTextVisible(false);
    sProgressBar1->hide();
    sProgressBar1->setAccessibleName(QStringLiteral("Export progress"));
}

void TForm4::BindHandlers()
{
    const std::pair<TSpeedButton*, void (TForm4::*)(QObject*)> Clicks[] = {
        {sSpeedButton3, &TForm4::sSpeedButton3Click}, {sSpeedButton6, &TForm4::sSpeedButton6Click},
        {sSpeedButton2, &TForm4::sSpeedButton2Click}, {sSpeedButton4, &TForm4::sSpeedButton4Click},
        {sSpeedButton5, &TForm4::sSpeedButton5Click}, {sBitBtn1, &TForm4::sBitBtn1Click},
        {sSpeedButton7, &TForm4::sSpeedButton7Click}, {sSpeedButton8, &TForm4::sSpeedButton8Click},
    };
    for (const auto& Click : Clicks) {
        TSpeedButton* Button = Click.first;
        auto Handler = Click.second;
        connect(Button, &QToolButton::clicked, this,
                Guarded(Button, [this, Button, Handler] { (this->*Handler)(Button); }));
    }
}

// Every toolbar action from the keyboard, by the desktop's usual keys where there are such
// (F1, Ctrl+Q, Ctrl+O, Ctrl+S); none that a text field takes for itself (Ctrl+E, Ctrl+K,
// Ctrl+D on X11), so they work while a page field is being edited.
void TForm4::BindShortcuts()
{
    const std::pair<TSpeedButton*, QKeySequence> Keys[] = {
        {sSpeedButton3, QKeySequence(Qt::CTRL | Qt::Key_I)},              // Import
        {sSpeedButton6, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)}, // Export
        {sSpeedButton2, QKeySequence(Qt::CTRL | Qt::Key_L)},              // Connect, DisConnect
        {sSpeedButton4, QKeySequence(Qt::SHIFT | Qt::Key_F1)},            // About
        {sSpeedButton5, QKeySequence(Qt::Key_F1)},                        // Help
        {sBitBtn1, QKeySequence(Qt::CTRL | Qt::Key_Q)},                   // Exit
        {sSpeedButton7, QKeySequence(Qt::CTRL | Qt::Key_O)},              // Open
        {sSpeedButton8, QKeySequence(Qt::CTRL | Qt::Key_S)},              // Save
    };
    for (const auto& [Button, Key] : Keys)
        Button->SetShortcutKey(Key);
}

void TForm4::sBitBtn1Click(QObject*) { close(); }

QString TForm4::ItemText(const QString& Control) const
{
    auto* Edit = findChild<QLineEdit*>(Control);
    return Edit ? Edit->text() : QString();
}

void TForm4::SetItemText(const QString& Control, const QString& Text)
{
    if (auto* Edit = findChild<QLineEdit*>(Control))
        Edit->setText(Text);
}

bool TForm4::ItemChecked(const QString& Control) const
{
    auto* Box = findChild<QAbstractButton*>(Control);
    return Box && Box->isChecked();
}

void TForm4::SetItemChecked(const QString& Control, bool Checked)
{
    if (auto* Box = findChild<QAbstractButton*>(Control))
        Box->setChecked(Checked);
}
