#include "frmSplit.h"

#include "BlankPage.h"
#include "EngineCall.h"
#include "EngineError.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "OperationSupport.h"
#include "ScanBatch.h"
#include "Tessary.h"
#include "TiffDocument.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <stdexcept>

namespace tessary {

namespace {

const QString noPartText = QStringLiteral("%1 has no page that is not blank; no file was made.");
const QString doneText = QStringLiteral("%1 was split into %2 files:");

} // namespace

frmSplit::frmSplit(Tessary& window)
    : BatchDialog(window, QStringLiteral("Split into Files"))
{
    const QString file = window.imgSrc->image();
    txtFile = fileRow(QStringLiteral("&File:"), file, false);
    optEvery = new QRadioButton(QStringLiteral("&Every"), this);
    spnEvery = new QSpinBox(this);
    spnEvery->setRange(1, 1000000);
    spnEvery->setValue(2);
    spnEvery->setSuffix(QStringLiteral(" pages"));
    spnEvery->setAccessibleName(QStringLiteral("Pages a file"));
    optBlank = new QRadioButton(QStringLiteral("At &blank pages, ink below"), this);
    spnThreshold = new QDoubleSpinBox(this);
    spnThreshold->setRange(0, 100);
    spnThreshold->setDecimals(2);
    spnThreshold->setSingleStep(0.1);
    spnThreshold->setValue(BlankPage::defaultThreshold * 100);
    spnThreshold->setSuffix(QStringLiteral(" %"));
    spnThreshold->setAccessibleName(QStringLiteral("Ink below which a page is blank"));
    optBlank->setChecked(true);
    for (const auto& [option, box] :
         {std::pair<QRadioButton*, QWidget*>{optEvery, spnEvery}, {optBlank, spnThreshold}}) {
        auto* row = new QHBoxLayout;
        row->addWidget(option);
        row->addWidget(box);
        row->addStretch();
        form()->addRow(QString(), row);
    }
    const QFileInfo source(file);
    txtNames = new QLineEdit(file.isEmpty()
                                 ? QString()
                                 : QDir::toNativeSeparators(source.dir().filePath(
                                       source.completeBaseName() + QStringLiteral("-%03d.tif"))),
                             this);
    txtNames->setAccessibleName(QStringLiteral("Names"));
    form()->addRow(QStringLiteral("&Names:"), txtNames);
    form()->addRow(QString(), new QLabel(QStringLiteral("%03d stands for each file's number: "
                                                        "001, 002, ..."),
                                         this));
    addButtons();
}

void frmSplit::cmdOK_Click()
{
    const QString file = existing(txtFile);
    if (file.isEmpty())
        return;
    const QString pattern = QFileInfo(txtNames->text()).absoluteFilePath();
    try {
        ScanBatch::partName(pattern.toStdString(), 1);
    } catch (const std::invalid_argument& e) {
        operations::tell(m_window, QString::fromStdString(e.what()));
        return;
    }
    // The parts first (judging every page for blanks takes a while), then the files.
    std::vector<std::vector<std::int32_t>> parts;
    const auto path = EngineCall::toPath(file);
    try {
        if (optEvery->isChecked()) {
            parts = ScanBatch::splitEvery(TiffDocument::open(path)->pageCount(), spnEvery->value());
        } else {
            const double threshold = spnThreshold->value() / 100;
            EngineCall::run(
                [&](const OperationOptions& options) {
                    std::vector<std::int32_t> blanks;
                    parts = ScanBatch::splitAtBlanks(
                        path, threshold, blanks, [&](std::int32_t done, std::int32_t total) {
                            return !options.progress ||
                                   options.progress(std::uint64_t(done), std::uint64_t(total));
                        });
                },
                {}, &m_window.progress(),
                QStringLiteral("Looking for blank pages in %1...").arg(QFileInfo(file).fileName()));
        }
    } catch (const ImagingError& error) {
        operations::tell(m_window, error.message, MsgIcon::Exclamation);
        return;
    } catch (const EngineError& error) {
        operations::tell(m_window, QString::fromStdString(error.what()), MsgIcon::Exclamation);
        return;
    }
    if (parts.empty()) {
        operations::tell(m_window, noPartText.arg(QFileInfo(file).fileName()));
        return;
    }
    QStringList names;
    std::vector<std::filesystem::path> paths;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        paths.push_back(ScanBatch::partName(pattern.toStdString(), int(i) + 1));
        names.append(QString::fromStdString(paths.back().string()));
    }
    if (!mayWrite(names))
        return;
    const QString name = QFileInfo(file).fileName();
    if (!run(QStringLiteral("Split %1 into %2 Files").arg(name).arg(parts.size()),
             EngineCall::writingLabel(names.front()), names.front(),
             [&](const OperationOptions& options) {
                 PageEngine engine;
                 ScanBatch::writeParts(engine, path, parts, paths, options);
             }))
        return;
    QString told = doneText.arg(name).arg(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i)
        told += QStringLiteral("\r\n%1: pages %2")
                    .arg(QFileInfo(names[int(i)]).fileName(),
                         QString::fromStdString(ScanBatch::listText(parts[i])));
    operations::tell(m_window, told);
}

} // namespace tessary
