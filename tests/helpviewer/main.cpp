// Runs the test classes of the help viewer folder in one executable.

#include <QApplication>

int runHelpWindowTests(int argc, char** argv);
int runPortableHelpPlatformTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runHelpWindowTests(argc, argv);
    failures += runPortableHelpPlatformTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
