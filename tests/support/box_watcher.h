// Test support: records and dismisses every modal box that comes up while the watcher lives.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <vector>

struct TSeenBox
{
    QString Title, Text, ObjectName;
    QMessageBox::Icon Icon;
    QStringList Buttons;
    QRect Frame; // where it was shown, frame included
};

class TBoxWatcher
{
public:
    // OnShown runs while the box is up (before it is dismissed), on the main thread.
    explicit TBoxWatcher(std::function<void(const TSeenBox&)> OnShown = {})
        : FOnShown(std::move(OnShown))
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start(5);
    }
    const std::vector<TSeenBox>& Seen() const { return FSeen; }

private:
    void Poll()
    {
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Boxes live on the stack, so a new one may reuse an old address: mark each one seen.
        if (!Box || !Box->isVisible() || Box->property("watcherSeen").toBool())
            return;
        Box->setProperty("watcherSeen", true);
        TSeenBox Seen{Box->windowTitle(), Box->text(), Box->objectName(), Box->icon(), {},
                      Box->frameGeometry()};
        for (QAbstractButton* B : Box->buttons())
            Seen.Buttons << B->text().remove(u'&');
        FSeen.push_back(Seen);
        if (FOnShown)
            FOnShown(Seen);
        QTimer::singleShot(0, Box, [Box] {
            if (!Box->buttons().isEmpty())
                Box->buttons().front()->click();
        });
    }
    std::function<void(const TSeenBox&)> FOnShown;
    QTimer FTimer;
    std::vector<TSeenBox> FSeen;
};
