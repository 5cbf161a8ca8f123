// Runs the test classes of the help folder in one executable.

#include <QApplication>

int runHTMLHelpTests(int argc, char** argv);
int runHelpTopicTests(int argc, char** argv);
#ifdef TESSARY_PORTABLE_HELP
int runHelpWindowTests(int argc, char** argv);
#endif

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runHTMLHelpTests(argc, argv);
    failures += runHelpTopicTests(argc, argv);
#ifdef TESSARY_PORTABLE_HELP
    failures += runHelpWindowTests(argc, argv);
#endif
    return failures == 0 ? 0 : 1;
}
