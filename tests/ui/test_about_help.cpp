// The about window, the Help button and the help document built beside the executable.
#include "tests/support/box_watcher.h"
#include "tests/support/qt_print.h"
#include "three_windows.h"
#include "ui/image.h"

#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
class AboutWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        CreateThreeWindows();
        Image = Form2->findChild<TImage*>("Image1");
        AboutButton = Form4->findChild<QToolButton*>("sSpeedButton4");
        HelpButton = Form4->findChild<QToolButton*>("sSpeedButton5");
        ASSERT_TRUE(Image && AboutButton && HelpButton);
    }
    void TearDown() override { Form2->hide(); }

    TImage* Image = nullptr;
    QToolButton* AboutButton = nullptr;
    QToolButton* HelpButton = nullptr;
};

int CountAboutWindows()
{
    int Count = 0;
    for (QWidget* Window : QApplication::topLevelWidgets())
        Count += qobject_cast<TForm2*>(Window) != nullptr;
    return Count;
}

// Receives what the Help button hands to the desktop instead of the desktop's opener.
class TOpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& Url) { Urls << Url; }
};
} // namespace

TEST_F(AboutWindow, LayoutAndPicture)
{
    EXPECT_EQ(Form2->windowTitle(), "About");
    EXPECT_EQ(Form2->size(), QSize(297, 205));
    EXPECT_EQ(Form2->parentWidget(), Form4);
    EXPECT_TRUE(Form2->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(Image->geometry(), QRect(0, 0, 297, 201));
    ASSERT_EQ(Image->PictureSize(), QSize(300, 200));

    const QImage Picture = Image->Picture().toImage();
    for (int Y = 0; Y < Picture.height(); Y += 7)
        for (int X = 0; X < Picture.width(); X += 7)
            ASSERT_EQ(qAlpha(Picture.pixel(X, Y)), 255) << X << "," << Y << " is not opaque";
    EXPECT_EQ(QColor(Picture.pixel(2, 2)), QColor(Qt::white)); // the white ground
    // Dark blue bold title letters in the top band, centred; a red logo at the left of the block.
    int Blue = 0, BlueLeft = 300, BlueRight = 0;
    for (int Y = 5; Y < 56; ++Y)
        for (int X = 0; X < 300; ++X) {
            const QColor C(Picture.pixel(X, Y));
            if (C.blue() > 90 && C.red() < 60 && C.green() < 80) {
                ++Blue;
                BlueLeft = std::min(BlueLeft, X);
                BlueRight = std::max(BlueRight, X);
            }
        }
    EXPECT_GT(Blue, 300);
    EXPECT_LE(std::abs((BlueLeft + BlueRight) / 2 - 150), 4);
    const QColor Logo(Picture.pixel(24, 107));
    EXPECT_GT(Logo.red(), 180);
    EXPECT_LT(Logo.green(), 60);
    EXPECT_EQ(QColor(Picture.pixel(6, 130)), QColor(Qt::black)); // the block's frame
}

TEST_F(AboutWindow, AboutShowsOneWindowAndBringsItToTheFront)
{
    ASSERT_FALSE(Form2->isVisible());
    QTest::mouseClick(AboutButton, Qt::LeftButton);
    ASSERT_TRUE(WaitActive(Form2));
    EXPECT_LE((Form2->frameGeometry().center() - Form4->frameGeometry().center()).manhattanLength(),
              2);

    Form4->activateWindow();
    ASSERT_TRUE(WaitActive(Form4));
    QTest::mouseClick(AboutButton, Qt::LeftButton); // pressed again while open
    ASSERT_TRUE(WaitActive(Form2));
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_EQ(CountAboutWindows(), 1);
}

TEST_F(AboutWindow, ClickOnThePictureHidesButNotBelowIt)
{
    QTest::mouseClick(AboutButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form2));
    for (int Y : {201, 203, 204}) // the 4-pixel strip below the picture
        QTest::mouseClick(Form2, Qt::LeftButton, {}, QPoint(150, Y));
    EXPECT_TRUE(Form2->isVisible());
    QTest::mouseClick(Image, Qt::LeftButton, {}, QPoint(296, 200)); // its last pixel
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_EQ(CountAboutWindows(), 1); // hidden, not destroyed

    QTest::mouseClick(AboutButton, Qt::LeftButton);
    QTest::mouseClick(Image, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(Form2->isVisible());
}

TEST_F(AboutWindow, PositionKeptAfterHideAndClose)
{
    QTest::mouseClick(AboutButton, Qt::LeftButton);
    Form2->move(30, 40);
    const QPoint Moved = Form2->pos();
    QTest::mouseClick(Image, Qt::LeftButton);
    QTest::mouseClick(AboutButton, Qt::LeftButton);
    EXPECT_EQ(Form2->pos(), Moved);
    Form2->move(90, 20);
    const QPoint MovedAgain = Form2->pos();
    EXPECT_TRUE(Form2->close());
    EXPECT_FALSE(Form2->isVisible());
    QTest::mouseClick(AboutButton, Qt::LeftButton);
    EXPECT_EQ(Form2->pos(), MovedAgain);
}

TEST_F(AboutWindow, HelpHandsTheDocumentBesideTheExecutableToTheDesktop)
{
    TOpenedUrls Opened;
    QDesktopServices::setUrlHandler("file", &Opened, "Open");
    QTest::mouseClick(HelpButton, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(Opened.Urls.size(), 1);
    EXPECT_EQ(Opened.Urls[0],
              QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/Help.pdf"));
}

TEST_F(AboutWindow, HelpWithoutTheDocumentShowsNothing)
{
    ASSERT_FALSE(QFile::exists(QCoreApplication::applicationDirPath() + "/Help.pdf"));
    const QWidgetList Before = QApplication::topLevelWidgets();
    const QWidget* Active = QApplication::activeWindow();
    TBoxWatcher Boxes;
    QTest::mouseClick(HelpButton, Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(QApplication::topLevelWidgets(), Before);
    EXPECT_EQ(QApplication::activeWindow(), Active);
    EXPECT_TRUE(Form4->isVisible());
}

// On a desktop without a PDF viewer Help says where the document is instead of doing nothing;
// once an application declares PDF documents, the document goes to the desktop again.
TEST_F(AboutWindow, HelpWithoutAViewerSaysWhereTheDocumentIs)
{
    const QString Document = QCoreApplication::applicationDirPath() + "/Help.pdf";
    QTemporaryDir Desktop;
    const QString Applications = Desktop.filePath("data/applications");
    ASSERT_TRUE(QDir().mkpath(Applications));
    const char* Variables[] = {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"};
    std::vector<QByteArray> Saved;
    for (const char* Variable : Variables) {
        Saved.push_back(qgetenv(Variable));
        qputenv(Variable, QFile::encodeName(Desktop.filePath(QString(Variable).contains("DATA") ? "data" : "config")));
    }
    {
        QFile Pdf(Document);
        ASSERT_TRUE(Pdf.open(QIODevice::WriteOnly));
        Pdf.write("%PDF-1.4\n");
    }
    TOpenedUrls Opened;
    QDesktopServices::setUrlHandler("file", &Opened, "Open");
    TBoxWatcher Boxes;
    QTest::mouseClick(HelpButton, Qt::LeftButton);
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_TRUE(Boxes.Seen()[0].Text.contains(Document)) << qPrintable(Boxes.Seen()[0].Text);
    EXPECT_TRUE(Boxes.Seen()[0].Text.contains("No PDF viewer is installed"));
    EXPECT_TRUE(Opened.Urls.isEmpty());

    QFile Entry(Applications + "/viewer.desktop");
    ASSERT_TRUE(Entry.open(QIODevice::WriteOnly));
    Entry.write("[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\n"
                "MimeType=image/png;application/pdf;\n");
    Entry.close();
    QTest::mouseClick(HelpButton, Qt::LeftButton);
    EXPECT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Opened.Urls, QList<QUrl>{QUrl::fromLocalFile(Document)});

    QDesktopServices::unsetUrlHandler("file");
    QFile::remove(Document);
    for (size_t I = 0; I < Saved.size(); ++I)
        Saved[I].isNull() ? qunsetenv(Variables[I]) : qputenv(Variables[I], Saved[I]);
}

TEST(HelpDocument, BuiltBesideTheExecutableAsARealPdf)
{
    const QString BuildDir = QStringLiteral(MORVEL_BUILD_DIR);
    QFile Pdf(BuildDir + "/Help.pdf");
    ASSERT_TRUE(Pdf.open(QIODevice::ReadOnly)) << Pdf.fileName().toStdString();
    EXPECT_TRUE(Pdf.read(5) == "%PDF-");
    const QString PdfToText = QStandardPaths::findExecutable("pdftotext");
    if (PdfToText.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) not installed";
    QProcess Text;
    Text.start(PdfToText, {"-layout", Pdf.fileName(), "-"});
    ASSERT_TRUE(Text.waitForFinished(20000));
    // Words as read, wherever the lines happen to break.
    const QString Content = QString::fromUtf8(Text.readAllStandardOutput()).simplified();
    for (const char* Topic :
         {"Connect", "Import", "Export", "morvel-relay-sim", "/serial/relay-sim", "dialout",
          "Unable to open com port (Error: 16)", "Port name Not selected!", "Device Not Detected!",
          "Unable to open com port (Error:", "WriteFile function failed (Error:",
          "Ctrl+Shift+E", "Shift+F1", "without a PDF viewer"})
        EXPECT_TRUE(Content.contains(QLatin1String(Topic))) << Topic;
    EXPECT_FALSE(Content.contains("./run")) << "the help reaches users of the package, who have no source folder";
}

#include "test_about_help.moc"
