// End-to-end support: the real windows, offscreen, against the relay controller simulator on
// a pseudo-terminal registered in a private runtime folder.
#pragma once

#include "app/application.h"
#include "tests/support/sim_process.h"
#include "tests/support/box_watcher.h"
#include "ui/about_form.h"
#include "ui/forms.h"
#include "ui/main_form.h"
#include "ui/port_form.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

// The three windows as the program makes them, with a private runtime folder.
class TE2E : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRuntime.IsValid());
        Form4 = new TForm4;
        Form1 = new TForm1;
        Form2 = new TForm2;
        Form4->show();
    }
    void TearDown() override
    {
        delete Form2;
        delete Form1;
        delete Form4;
        Form2 = nullptr;
        Form1 = nullptr;
        Form4 = nullptr;
    }

    template <class T = QWidget> static T* Find(QWidget* Root, const char* Name)
    {
        return Root->findChild<T*>(QString::fromLatin1(Name));
    }
    static void Click(QWidget* Root, const char* Name)
    {
        QWidget* W = Find(Root, Name);
        ASSERT_NE(W, nullptr) << Name;
        QTest::mouseClick(W, Qt::LeftButton);
    }
    QString ConnectCaption() const { return Form4->ConnectCaption(); }

    // Connect, choosing the port with the given path in the dialog. Returns once the
    // handshake is over (the click handler pauses for it).
    void ConnectThroughDialog(const QString& Port)
    {
        Click(Form4, "sSpeedButton2");
        ASSERT_TRUE(Form1->isVisible());
        auto* List = Find<QComboBox>(Form1, "ComboBox1");
        const int Index = List->findText(Port);
        ASSERT_GE(Index, 0) << Port.toStdString();
        List->setCurrentIndex(Index);
        Click(Form1, "sButton1");
    }

    QString Runtime() const { return FRuntime.Path(); }

private:
    TPrivateRuntime FRuntime;
};
