// Runs the test classes of the main window in one executable.

#include <QApplication>

int runTessaryTest(int argc, char** argv);
int runPanesTest(int argc, char** argv);
int runSettingsDialogTest(int argc, char** argv);
int runNavigationTest(int argc, char** argv);
int runDesktopTest(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    for (const auto run :
         {runTessaryTest, runPanesTest, runSettingsDialogTest, runNavigationTest, runDesktopTest})
        failures += run(argc, argv);
    return failures == 0 ? 0 : 1;
}
