// Every test binary runs inside one application object, as the program does.
#include "app/application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    testing::InitGoogleTest(&argc, argv);
    TApplication App(argc, argv);
    App.Title = QStringLiteral("Morvel SMS Controller");
    return RUN_ALL_TESTS();
}
