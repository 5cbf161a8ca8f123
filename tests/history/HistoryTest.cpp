// The undo history takes back only what its steps made: a change by anything else between
// two steps stops the older one; nothing a step keeps outlives it on any disk; a disk
// mounted again, read-only files, paths of any bytes, links, long names and the space limit.

#include "EngineCall.h"
#include "ImagingError.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "TiffDocument.h"
#include "UndoHistory.h"

#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <unistd.h>

using namespace tessary;
using namespace tessary::testing;
namespace fs = std::filesystem;

namespace {

using Change = std::function<void(PageEngine& engine, const OperationOptions& options)>;

QByteArray bytesOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? QByteArray::fromStdString({std::istreambuf_iterator<char>(in), {}}) : QByteArray();
}

// Writes path (whose name may be any bytes), in place when it exists, as a file of pages
// whose grey levels are labels.
void writeLabelled(const fs::path& path, std::initializer_list<int> labels)
{
    QList<TestTiff::Page> pages;
    for (const int label : labels)
        pages.append(TestTiff::plain(8, 8, std::uint8_t(label)));
    const QByteArray bytes = TestTiff::bytes(pages);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

QList<int> labelsOf(const fs::path& path)
{
    QList<int> labels;
    try {
        const auto document = TiffDocument::open(path);
        for (std::int32_t page = 1; page <= document->pageCount(); ++page)
            labels.append(document->decode(page).pixels.at(0));
    } catch (const std::exception&) {
    }
    return labels;
}

// Every file below folder, hidden ones too, by their paths within it; none when there is no
// such folder.
std::set<std::string> listing(const fs::path& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (fs::recursive_directory_iterator entry(folder, ec), end; !ec && entry != end;
         entry.increment(ec)) {
        const std::string name = entry->path().lexically_relative(folder).string();
        if (name.rfind("lost+found", 0) != 0)
            names.insert(name);
    }
    return names;
}

// One step of the window's: change run with the history keeping it, a page operation on
// each file it changes.
void step(UndoHistory& history, const std::vector<Change>& changes)
{
    UndoHistory::Recording recording(&history);
    recording.setCaption(QStringLiteral("Change"));
    for (const Change& change : changes) {
        OperationOptions options;
        options.keep = history.keeping(QStringLiteral("Des"));
        PageEngine engine;
        change(engine, options);
    }
}

// The sentence an undo is refused with; "" when it went through.
QString refusal(UndoHistory& history)
{
    try {
        history.undo(nullptr);
    } catch (const ImagingError& error) {
        return error.message;
    }
    return {};
}

// A small disk image mounted on a folder for the life of the object (for the superuser),
// which can be taken away and mounted again under another device, as a USB stick plugged
// into another port.
class LoopDisk
{
public:
    explicit LoopDisk(const fs::path& folder)
        : m_image(folder / "disk.img")
        , m_point(folder / "disk")
    {
        fs::create_directories(m_point);
        m_made =
            ::geteuid() == 0 &&
            run("truncate -s 16M " + m_image.string() + " && mkfs.ext4 -q " + m_image.string()) &&
            mount();
    }
    ~LoopDisk()
    {
        unmount();
        for (const std::string& device : m_taken)
            run("losetup -d " + device);
    }
    bool made() const { return m_made; }
    const fs::path& point() const { return m_point; }

    bool mount()
    {
        m_device = attach(m_image);
        return !m_device.empty() && run("mount " + m_device + " " + m_point.string());
    }
    void unmount()
    {
        if (!m_device.empty() && run("umount " + m_point.string()))
            run("losetup -d " + std::exchange(m_device, std::string()));
    }
    // Mounts it again under another device than before: the one it had is taken.
    bool mountElsewhere()
    {
        const fs::path filler = m_image.parent_path() / ("filler" + std::to_string(m_taken.size()));
        run("truncate -s 1M " + filler.string());
        m_taken.push_back(attach(filler));
        return mount();
    }

private:
    static bool run(const std::string& command)
    {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    static std::string attach(const fs::path& file)
    {
        std::string device;
        if (FILE* out = ::popen(("losetup -f --show " + file.string()).c_str(), "r")) {
            char line[256] = {};
            if (std::fgets(line, sizeof line, out))
                device = std::string(line).substr(0, std::string(line).find('\n'));
            ::pclose(out);
        }
        return device;
    }

    fs::path m_image;
    fs::path m_point;
    std::string m_device;
    std::vector<std::string> m_taken;
    bool m_made = false;
};

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        m_root = EngineCall::toPath(m_dir->path());
        m_history = m_root / "history";
        fs::create_directories(m_root / "scans");
        writeLabelled(d(), {1, 2, 3});
        writeLabelled(s(), {11, 12, 13});
    }

    void aChangeBetweenTwoStepsIsNeverTakenBack_data()
    {
        QTest::addColumn<QString>("between");
        QTest::newRow("nothing: the steps are joined") << "nothing";
        QTest::newRow("another program's append") << "append";
        QTest::newRow("another document saved under the name") << "saved";
        QTest::newRow("the other file of a Move renamed away") << "move";
    }

    void aChangeBetweenTwoStepsIsNeverTakenBack()
    {
        QFETCH(QString, between);
        UndoHistory history(path(m_history));
        const QByteArray original = bytesOf(d());
        const auto appendOne = [this](int page) {
            return [this, page](PageEngine& e, const OperationOptions& o) {
                e.appendPages(d(), s(), page, 1, o);
            };
        };
        step(history, {appendOne(1)});
        if (between == QLatin1String("append"))
            PageEngine().appendPages(d(), s(), 3, 1);
        if (between == QLatin1String("saved"))
            writeLabelled(d(), {31, 32, 33, 34, 35, 36});
        if (between == QLatin1String("move")) {
            step(history, {appendOne(2), [this](PageEngine& e, const OperationOptions& o) {
                               e.deletePages(s(), 2, 1, o);
                           }});
        }
        step(history, {[this](PageEngine& e, const OperationOptions& o) {
                 e.deletePages(d(), 1, 1, o);
             }});
        // The Move drops out, gone, as the step after it is undone.
        if (between == QLatin1String("move"))
            fs::rename(s(), m_root / "scans" / "s-renamed.tif");
        QCOMPARE(refusal(history), QString());
        const QByteArray now = bytesOf(d());
        const QString refused = refusal(history);
        if (between == QLatin1String("nothing")) {
            QCOMPARE(refused, QString());
            QCOMPARE(bytesOf(d()), original);
            return;
        }
        QCOMPARE(refused,
                 QStringLiteral("Change cannot be undone: d.tif has been changed since; "
                                "nothing was changed. The step is taken off the history."));
        QCOMPARE(bytesOf(d()), now);
        QVERIFY(!history.canUndo());
    }

    void whatCannotBeWrittenIsRefusedAndTheStepStays_data()
    {
        QTest::addColumn<bool>("appended"); // the step: an append, or a delete (a rewrite)
        QTest::addColumn<bool>("folder");   // the folder made read-only, or the file
        QTest::addColumn<QString>("refused");
        QTest::newRow("read-only file, rewrite")
            << false << false << "Change cannot be undone: d.tif is read-only; it was not changed.";
        QTest::newRow("read-only file, append")
            << true << false << "Change cannot be undone: d.tif is read-only; it was not changed.";
        QTest::newRow("read-only folder, rewrite")
            << false << true
            << "Change cannot be undone: The folder of d.tif is read-only; nothing was changed.";
        // An append is taken back in place: its folder need not be writable.
        QTest::newRow("read-only folder, append") << true << true << "";
    }

    void whatCannotBeWrittenIsRefusedAndTheStepStays()
    {
        QFETCH(bool, appended);
        QFETCH(bool, folder);
        QFETCH(QString, refused);
        UndoHistory history(path(m_history));
        const QByteArray original = bytesOf(d());
        step(history, {[&](PageEngine& e, const OperationOptions& o) {
                 if (appended)
                     e.appendPages(d(), s(), 1, 1, o);
                 else
                     e.deletePages(d(), 2, 1, o);
             }});
        const fs::path locked = folder ? d().parent_path() : d();
        const fs::perms before = fs::status(locked).permissions();
        const fs::perms readOnly =
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
            (folder ? fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec
                    : fs::perms::none);
        fs::permissions(locked, readOnly);
        const QByteArray after = bytesOf(d());
        const QString said = refusal(history);
        const QByteArray now = bytesOf(d());
        const fs::perms left = fs::status(locked).permissions() & fs::perms::all;
        fs::permissions(locked, before);
        QCOMPARE(said, refused);
        QCOMPARE(left, readOnly);
        if (refused.isEmpty()) {
            QCOMPARE(now, original);
            QCOMPARE(history.redoText(), QStringLiteral("Redo Change"));
        } else {
            QCOMPARE(now, after);
            QCOMPARE(history.undoText(), QStringLiteral("Undo Change"));
        }
    }

    void longNamesAndNamesOfAnyBytesAreTakenBack_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<int>("length"); // of the file's name
        QTest::newRow("240 bytes") << QByteArray("long") << 240;
        QTest::newRow("255 bytes, the longest") << QByteArray("long") << 255;
        QTest::newRow("a folder of bytes that are not UTF-8, on another disk")
            << QByteArray("\xff\xfe-scans\x80") << 8;
    }

    void longNamesAndNamesOfAnyBytesAreTakenBack()
    {
        QFETCH(QByteArray, folder);
        QFETCH(int, length);
        // Another disk than the history's where there is one: kept at the top of that disk.
        const bool other = length < 16;
        QTemporaryDir memory(QStringLiteral("/dev/shm/tessary-history-XXXXXX"));
        const fs::path base =
            other && memory.isValid() ? EngineCall::toPath(memory.path()) : m_root;
        const fs::path file = base / fs::path(folder.toStdString()) /
                              std::string(std::size_t(length) - 4, 'n').append(".tif");
        fs::create_directories(file.parent_path());
        writeLabelled(file, {1, 2, 3});
        const QByteArray original = bytesOf(file);
        const fs::path top = base.parent_path() / UndoRecord::topFolderName();
        const std::set<std::string> keptBefore = other ? listing(top) : std::set<std::string>();
        {
            UndoHistory history(path(m_history));
            step(history, {[&](PageEngine& e, const OperationOptions& o) {
                     e.deletePages(file, 2, 1, o);
                 }});
            QCOMPARE(labelsOf(file), (QList<int>{1, 3}));
        }
        // The history as the next start reads it names the file byte for byte.
        UndoHistory history(path(m_history));
        QCOMPARE(refusal(history), QString());
        QCOMPARE(bytesOf(file), original);
        // A new step ends the step to redo, and nothing of it is left on its disk.
        step(history, {[this](PageEngine& e, const OperationOptions& o) {
                 e.deletePages(d(), 1, 1, o);
             }});
        if (other && memory.isValid())
            QCOMPARE(listing(top), keptBefore);
        QCOMPARE(listing(file.parent_path()), std::set<std::string>{file.filename().string()});
        fs::remove_all(file.parent_path());
    }

    void aLinkToNoFileYetIsWrittenThroughAndStaysALink()
    {
        fs::create_directories(m_root / "made");
        const fs::path link = m_root / "scans" / "n.tif";
        fs::create_symlink("../made/target.tif", link);
        UndoHistory history(path(m_history));
        step(history, {[&](PageEngine& e, const OperationOptions& o) {
                 e.extractPages(s(), 2, 2, link, o);
             }});
        const auto linked = [&] {
            return fs::is_symlink(link) && fs::read_symlink(link) == "../made/target.tif";
        };
        QVERIFY(linked());
        QCOMPARE(labelsOf(m_root / "made" / "target.tif"), (QList<int>{12, 13}));
        QCOMPARE(refusal(history), QString());
        QVERIFY(linked() && !fs::exists(m_root / "made" / "target.tif"));
        history.redo(nullptr);
        QVERIFY(linked());
        QCOMPARE(labelsOf(link), (QList<int>{12, 13}));
    }

    void theSpaceLimitKeepsTheStepJustTaken()
    {
        const fs::path made = m_root / "scans" / "n.tif";
        UndoHistory history(path(m_history), 100);
        step(history, {[&](PageEngine& e, const OperationOptions& o) {
                 e.extractPages(s(), 1, 3, made, o);
             }});
        const QByteArray bytes = bytesOf(made);
        QCOMPARE(refusal(history), QString());
        QVERIFY(!fs::exists(made));
        // The new file lives on only in the step to redo.
        QCOMPARE(history.redoText(), QStringLiteral("Redo Change"));
        history.redo(nullptr);
        QCOMPARE(bytesOf(made), bytes);
    }

    void aStepKeptAfterOneThatCouldNotBeSaysItCanBeUndone()
    {
        UndoHistory history(path(m_history), 1);
        step(history, {[this](PageEngine& e, const OperationOptions& o) {
                 e.deletePages(d(), 1, 1, o);
             }});
        QCOMPARE(history.undoText(), QStringLiteral("Cannot Undo Change"));
        // An append keeps no bytes until it is undone.
        step(history, {[this](PageEngine& e, const OperationOptions& o) {
                 e.appendPages(d(), s(), 1, 1, o);
             }});
        QCOMPARE(history.undoText(), QStringLiteral("Undo Change"));
        QCOMPARE(history.problem(), QString());
    }

    void whatNoStepNamesIsClearedAtTheStart()
    {
        // A step that keeps a file at the top of another disk, where there is one.
        QTemporaryDir memory(QStringLiteral("/dev/shm/tessary-history-XXXXXX"));
        const fs::path file =
            (memory.isValid() ? EngineCall::toPath(memory.path()) : m_root) / "f.tif";
        writeLabelled(file, {1, 2});
        const fs::path top = file.parent_path().parent_path() / UndoRecord::topFolderName();
        const auto keptThere = [&] {
            std::set<std::string> names = listing(file.parent_path());
            if (memory.isValid())
                names.merge(listing(top));
            return names;
        };
        const std::set<std::string> before = keptThere();
        {
            UndoHistory history(path(m_history));
            step(history, {[&](PageEngine& e, const OperationOptions& o) {
                     e.deletePages(file, 1, 1, o);
                 }});
        }
        QVERIFY(!memory.isValid() || keptThere().size() > before.size());
        // A file in the history's folder that no step names, and the history file damaged:
        // its steps are lost, and with them all they kept.
        std::ofstream(m_history / ".tessary-kept-stray") << "x";
        std::ofstream(m_history / "history.json") << "{\"format\": 2, \"steps\": [";
        UndoHistory history(path(m_history));
        QVERIFY(!history.canUndo());
        QVERIFY(!fs::exists(m_history / ".tessary-kept-stray"));
        QCOMPARE(keptThere(), before);
    }

    void nothingOfAStepOutlivesItOnAnotherDisk_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("its folder renamed") << "renamed";
        QTest::newRow("the disk away when the program starts") << "away";
        QTest::newRow("a damaged history file") << "damaged";
        QTest::newRow("the disk mounted again: the step is undone") << "again";
    }

    void nothingOfAStepOutlivesItOnAnotherDisk()
    {
        QFETCH(QString, how);
        LoopDisk disk(m_root);
        if (!disk.made())
            QSKIP("mounting a disk image needs the superuser and mkfs.ext4");
        const fs::path file = disk.point() / "scans" / "f.tif";
        fs::create_directories(file.parent_path());
        writeLabelled(file, {1, 2, 3});
        const QByteArray original = bytesOf(file);
        std::optional<UndoHistory> history(std::in_place, path(m_history));
        step(*history, {[&](PageEngine& e, const OperationOptions& o) {
            e.deletePages(file, 1, 1, o);
        }});
        QVERIFY(listing(disk.point()).size() > 2); // what is kept lies on the disk
        if (how == QLatin1String("again")) {
            disk.unmount();
            QVERIFY(disk.mountElsewhere());
            QCOMPARE(refusal(*history), QString());
            QCOMPARE(bytesOf(file), original);
            return;
        }
        std::set<std::string> left = {"scans", "scans/f.tif"};
        if (how == QLatin1String("renamed")) {
            fs::rename(file.parent_path(), disk.point() / "renamed");
            left = {"renamed", "renamed/f.tif"};
            history->dropGone();
        } else if (how == QLatin1String("away")) {
            history.reset();
            disk.unmount();
            history.emplace(path(m_history));
            QVERIFY(!history->canUndo());
            QVERIFY(disk.mountElsewhere());
            history->dropGone(); // the Edit menu opened
        } else {
            history.reset();
            std::ofstream(m_history / "history.json") << "damaged";
            history.emplace(path(m_history));
        }
        QCOMPARE(listing(disk.point()), left);
    }

private:
    static QString path(const fs::path& path) { return QString::fromStdString(path.string()); }
    fs::path d() const { return m_root / "scans" / "d.tif"; }
    fs::path s() const { return m_root / "scans" / "s.tif"; }

    std::optional<QTemporaryDir> m_dir;
    fs::path m_root;
    fs::path m_history;
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "HistoryTest.moc"
