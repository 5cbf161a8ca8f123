#include "WindowFixture.h"

#include "FileListBox.h"
#include "Tessary.h"
#include "TestTiff.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

namespace tessary::testing {

bool WindowFixture::reset()
{
    root.emplace();
    if (!root->isValid())
        return false;
    programFolder.emplace(folder(QStringLiteral("program")));
    settings.emplace(dir(QStringLiteral("settings")), [] { return QStringLiteral("Tessary"); });
    boxes.emplace();
    dialogs.emplace();
    folders.emplace();
    launcher.emplace();
    screen.emplace(QSize(1024, 768));
    help.emplace();
    help->setSeparator(QDir::separator());
    return QFile::copy(QStringLiteral(TESSARY_RESOURCES_DIR "/blank.tif"),
                       programFolder->filePath(QStringLiteral("blank.tif")));
}

std::unique_ptr<Tessary> WindowFixture::start()
{
    return std::make_unique<Tessary>(TessaryServices{*boxes, *dialogs, *folders, *launcher, *screen,
                                                     *programFolder, *settings, *help});
}

QString WindowFixture::dir(const QString& name) const
{
    return QDir::toNativeSeparators(QDir(root->path()).filePath(name));
}

QString WindowFixture::folder(const QString& name) const
{
    QDir(root->path()).mkpath(name);
    return dir(name);
}

bool WindowFixture::writeTiff(const QString& path, int pages)
{
    QList<TestTiff::Page> made;
    for (int page = 1; page <= pages; ++page)
        made.append(TestTiff::plain(24, 32, std::uint8_t(page * 20)));
    return TestTiff::write(path, made);
}

bool WindowFixture::writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray WindowFixture::bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WindowFixture::pick(Tessary& window, const QString& name)
{
    FileListBox& list = *window.TiffFileList;
    const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    if (!window.isVisible()) {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
    }
    list.scrollToItem(found.first());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(found.first()).center());
    return true;
}

void WindowFixture::openDestination(Tessary& window, const QString& path)
{
    dialogs->choosePath(path);
    window.cmdOpenDes->click();
}

} // namespace tessary::testing
