// A page control: a strip of tabs over a stack of pages of which only the active one shows.
// Pages sit 4 pixels in from the sides, under the 24-pixel strip.
#pragma once

#include <QWidget>
#include <vector>

class QTabBar;

class TPageControl : public QWidget
{
    Q_OBJECT

public:
    explicit TPageControl(QWidget* Parent);

    // A new page named Name with the tab caption Caption, appended at the end.
    QWidget* AddPage(const QString& Name, const QString& Caption);
    int PageCount() const { return static_cast<int>(FPages.size()); }
    QWidget* Page(int Index) const { return FPages.at(static_cast<size_t>(Index)); }
    int ActivePageIndex() const;
    void SetActivePageIndex(int Index);
    QTabBar* Tabs() const { return FTabs; }

    static constexpr int TabHeight = 24;
    static constexpr int Border = 4;

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void ShowActivePage();
    QTabBar* FTabs;
    std::vector<QWidget*> FPages;
};
