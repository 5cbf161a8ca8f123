// Runs the test classes of the main window in one executable.

#include <QApplication>

int runTessaryTests(int argc, char** argv);
int runPanesTests(int argc, char** argv);
int runSettingsDialogTests(int argc, char** argv);
int runNavigationTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runTessaryTests(argc, argv);
    failures += runPanesTests(argc, argv);
    failures += runSettingsDialogTests(argc, argv);
    failures += runNavigationTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
