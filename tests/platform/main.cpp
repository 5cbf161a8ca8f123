// Runs the test classes of the platform folder in one executable.

#include <QApplication>

int runNumericTextTests(int argc, char** argv);
int runProgressTests(int argc, char** argv);
#ifndef Q_OS_WIN
int runPortableHelpPlatformTests(int argc, char** argv);
#endif

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runNumericTextTests(argc, argv);
    failures += runProgressTests(argc, argv);
#ifndef Q_OS_WIN
    failures += runPortableHelpPlatformTests(argc, argv);
#endif
    return failures == 0 ? 0 : 1;
}
