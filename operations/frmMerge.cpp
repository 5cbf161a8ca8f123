#include "frmMerge.h"

#include "EngineCall.h"
#include "FileDialogService.h"
#include "ImagingEdit.h"
#include "OperationSupport.h"
#include "ProgramFolder.h"
#include "ScanBatch.h"
#include "Tessary.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {

namespace {

const QString fewText = QStringLiteral("Please list at least one file to merge.");

} // namespace

frmMerge::frmMerge(Tessary& window)
    : BatchDialog(window, QStringLiteral("Merge Files"))
{
    lstFiles = new QListWidget(this);
    lstFiles->setAccessibleName(QStringLiteral("Files to merge"));
    for (const ImagingEdit* pane : {window.imgSrc, window.imgDes}) {
        if (!pane->image().isEmpty())
            lstFiles->addItem(QDir::toNativeSeparators(pane->image()));
    }
    cmdAdd = new QPushButton(QStringLiteral("&Add..."), this);
    cmdRemove = new QPushButton(QStringLiteral("&Remove"), this);
    cmdUp = new QPushButton(QStringLiteral("&Up"), this);
    cmdDown = new QPushButton(QStringLiteral("&Down"), this);
    auto* side = new QVBoxLayout;
    for (QPushButton* button : {cmdAdd, cmdRemove, cmdUp, cmdDown}) {
        button->setAutoDefault(false);
        side->addWidget(button);
    }
    side->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(lstFiles, 1);
    row->addLayout(side);
    form()->addRow(QStringLiteral("&Files:"), row);
    const QString first = lstFiles->count() ? lstFiles->item(0)->text() : QString();
    txtResult = fileRow(
        QStringLiteral("&New file:"),
        first.isEmpty() ? QString() : QFileInfo(first).dir().filePath(QStringLiteral("merged.tif")),
        true);
    connect(cmdAdd, &QPushButton::clicked, this, [this] {
        FileDialogService::Request request;
        request.caption = QStringLiteral("Add a File");
        request.folder = m_window.programFolder().startFolder();
        request.nameFilters = {QStringLiteral("TIFF Image (*.tif *.tiff)")};
        if (const auto chosen = m_window.fileDialogs().choose(this, request))
            lstFiles->addItem(QDir::toNativeSeparators(*chosen));
    });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { delete lstFiles->currentItem(); });
    connect(cmdUp, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { moveSelected(1); });
    addButtons();
}

void frmMerge::moveSelected(int by)
{
    const int row = lstFiles->currentRow();
    if (row < 0 || row + by < 0 || row + by >= lstFiles->count())
        return;
    lstFiles->insertItem(row + by, lstFiles->takeItem(row));
    lstFiles->setCurrentRow(row + by);
}

void frmMerge::cmdOK_Click()
{
    if (lstFiles->count() == 0) {
        operations::tell(m_window, fewText);
        return;
    }
    std::vector<std::filesystem::path> files;
    for (int row = 0; row < lstFiles->count(); ++row) {
        const QFileInfo file(lstFiles->item(row)->text());
        if (!file.isFile()) {
            lstFiles->setCurrentRow(row);
            operations::tell(m_window, QStringLiteral("%1 does not exist.").arg(file.fileName()));
            return;
        }
        files.push_back(EngineCall::toPath(file.absoluteFilePath()));
    }
    const QString result = newFile(txtResult);
    if (result.isEmpty())
        return;
    run(QStringLiteral("Merge %1 Files into %2")
            .arg(QString::number(files.size()), QFileInfo(result).fileName()),
        EngineCall::writingLabel(result), result, [&](const OperationOptions& options) {
            PageEngine().extractPages(ScanBatch::merge(files), EngineCall::toPath(result), options);
        });
}

} // namespace tessary
