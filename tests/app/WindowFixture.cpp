#include "WindowFixture.h"

#ifdef TESSARY_WITH_PAGE_OPERATIONS
#include "OperationHandlers.h"
#endif
#include "TestTiff.h"

namespace tessary::testing {

bool WindowFixture::reset(bool listScans)
{
    root.emplace();
    if (!root->isValid())
        return false;
    programFolder.emplace(folder(QStringLiteral("program")));
    settings.emplace(dir(QStringLiteral("settings")), [] { return QStringLiteral("Tessary"); });
    (boxes.emplace(), dialogs.emplace(), folders.emplace(), launcher.emplace(), help.emplace());
    screen.emplace(QSize(1024, 768)), progress.emplace(), threadedProgress.reset();
    help->setSeparator(QDir::separator());
    if (listScans)
        settings->write(SettingsStore::SrcDir, folder(QStringLiteral("scans")));
    return QFile::copy(QStringLiteral(TESSARY_RESOURCES_DIR "/blank.tif"),
                       programFolder->filePath(QStringLiteral("blank.tif")));
}

// The page operations, for the tests that build with them; the main window's own tests
// run the window without.
static PageOperationHandlers pageOperations()
{
#ifdef TESSARY_WITH_PAGE_OPERATIONS
    return operations::handlers();
#else
    return {};
#endif
}

std::unique_ptr<Tessary> WindowFixture::start()
{
    ProgressService& progressService =
        threadedProgress ? static_cast<ProgressService&>(*threadedProgress) : *progress;
    return std::make_unique<Tessary>(TessaryServices{*boxes, *dialogs, *folders, *launcher, *screen,
                                                     *programFolder, *settings, *help,
                                                     progressService, pageOperations()});
}

bool WindowFixture::writeTiff(const QString& path, int pages)
{
    QList<TestTiff::Page> made;
    for (int page = 1; page <= pages; ++page)
        made.append(TestTiff::plain(24, 32, std::uint8_t(page * 20)));
    return TestTiff::write(path, made);
}

bool WindowFixture::pick(Tessary& window, const QString& name)
{
    FileListBox& list = *window.TiffFileList;
    list.refresh();
    const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    if (!window.isVisible() && (window.show(), !QTest::qWaitForWindowExposed(&window)))
        return false;
    list.scrollToItem(found.first());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(found.first()).center());
    return true;
}

} // namespace tessary::testing
