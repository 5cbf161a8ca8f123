// Runs the test classes of the help folder in one executable.

#include <QApplication>

int runHTMLHelpTests(int argc, char** argv);
int runHelpTopicTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runHTMLHelpTests(argc, argv);
    failures += runHelpTopicTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
