// Runs the test classes of the page operations in one executable.

#include <QApplication>

int runDeletePageTests(int argc, char** argv);
int runSinglePageTransferTests(int argc, char** argv);
int runRangeTransferTests(int argc, char** argv);
int runReorderTests(int argc, char** argv);
int runFailureTests(int argc, char** argv);
int runOneAtATimeTests(int argc, char** argv);
int runKeyboardTransferTests(int argc, char** argv);
int runUndoTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runDeletePageTests(argc, argv);
    failures += runSinglePageTransferTests(argc, argv);
    failures += runRangeTransferTests(argc, argv);
    failures += runReorderTests(argc, argv);
    failures += runFailureTests(argc, argv);
    failures += runOneAtATimeTests(argc, argv);
    failures += runKeyboardTransferTests(argc, argv);
    failures += runUndoTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
