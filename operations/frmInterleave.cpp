#include "frmInterleave.h"

#include "EngineCall.h"
#include "ImagingEdit.h"
#include "ScanBatch.h"
#include "Tessary.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>

namespace tessary {

frmInterleave::frmInterleave(Tessary& window)
    : BatchDialog(window, QStringLiteral("Interleave Two-Sided Scan"))
{
    const QString fronts = window.imgSrc->image();
    txtFronts = fileRow(QStringLiteral("&Fronts:"), fronts, false);
    txtBacks = fileRow(QStringLiteral("&Backs:"), QString(), false);
    chkReversed = new QCheckBox(QStringLiteral("Backs scanned &last page first"), this);
    chkUneven = new QCheckBox(QStringLiteral("Allow &unequal page counts"), this);
    form()->addRow(QString(), chkReversed);
    form()->addRow(QString(), chkUneven);
    const QFileInfo front(fronts);
    txtResult =
        fileRow(QStringLiteral("&New file:"),
                fronts.isEmpty()
                    ? QString()
                    : front.dir().filePath(front.completeBaseName() + QStringLiteral("-both.tif")),
                true);
    addButtons();
}

void frmInterleave::cmdOK_Click()
{
    const QString fronts = existing(txtFronts);
    const QString backs = fronts.isEmpty() ? QString() : existing(txtBacks);
    const QString result = backs.isEmpty() ? QString() : newFile(txtResult);
    if (result.isEmpty())
        return;
    const bool reversed = chkReversed->isChecked();
    const bool uneven = chkUneven->isChecked();
    run(QStringLiteral("Interleave %1 and %2 into %3")
            .arg(QFileInfo(fronts).fileName(), QFileInfo(backs).fileName(),
                 QFileInfo(result).fileName()),
        EngineCall::writingLabel(result), result, [&](const OperationOptions& options) {
            PageEngine().extractPages(ScanBatch::interleave(EngineCall::toPath(fronts),
                                                            EngineCall::toPath(backs), reversed,
                                                            uneven),
                                      EngineCall::toPath(result), options);
        });
}

} // namespace tessary
