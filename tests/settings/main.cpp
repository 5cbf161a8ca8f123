// Runs the test classes of the settings folder in one executable.

#include <QApplication>

int runSettingsStoreTests(int argc, char** argv);
int runBrowseForFolderTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = runSettingsStoreTests(argc, argv);
    failures += runBrowseForFolderTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
