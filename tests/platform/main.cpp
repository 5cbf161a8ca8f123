// Runs the test classes of the platform folder in one executable.

#include <QApplication>

int runNumericTextTests(int argc, char** argv);
int runProgressTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runNumericTextTests(argc, argv);
    failures += runProgressTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
