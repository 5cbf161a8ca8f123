#include "BatchDialog.h"

#include "EngineCall.h"
#include "FileDialogService.h"
#include "ImagingError.h"
#include "OperationSupport.h"
#include "PageOperations.h"
#include "ProgramFolder.h"
#include "Tessary.h"
#include "UndoHistory.h"
#include "mdlFunctions.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {

namespace {

const QString tiffFilter = QStringLiteral("TIFF Image (*.tif *.tiff)");
const QString missingText = QStringLiteral("Please choose an existing TIFF file for \"%1\".");
const QString nameText = QStringLiteral("Please choose a name for the new file.");
const QString replaceText = QStringLiteral("%1 already exists.\r\nDo you want to replace it?");
const QString replaceAllText = QStringLiteral(
    "%1 and %2 more of the new files already exist.\r\nDo you want to replace them?");
const QString workingText =
    QStringLiteral("You cannot save the new file as %1: Tessary uses that file for its own "
                   "work.\r\nPlease choose another name.");

} // namespace

BatchDialog::BatchDialog(Tessary& window, const QString& title)
    : QDialog(&window)
    , m_window(window)
    , m_form(new QFormLayout)
{
    setWindowTitle(title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
}

QLineEdit* BatchDialog::fileRow(const QString& label, const QString& text, bool save)
{
    auto* box = new QLineEdit(QDir::toNativeSeparators(text), this);
    box->setMinimumWidth(320);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setAutoDefault(false);
    box->setAccessibleName(QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    connect(browse, &QPushButton::clicked, this, [this, box, label, save] {
        FileDialogService::Request request;
        request.mode = save ? FileDialogService::Mode::Save : FileDialogService::Mode::Open;
        request.caption = QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':'));
        request.folder = box->text().isEmpty() ? m_window.programFolder().startFolder()
                                               : QFileInfo(box->text()).absolutePath();
        request.nameFilters = {tiffFilter};
        if (const auto chosen = m_window.fileDialogs().choose(this, request))
            box->setText(QDir::toNativeSeparators(*chosen));
    });
    auto* row = new QHBoxLayout;
    row->addWidget(box, 1);
    row->addWidget(browse);
    m_form->addRow(label, row);
    return box;
}

void BatchDialog::addButtons()
{
    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    layout()->addWidget(buttons);
}

QString BatchDialog::existing(const QLineEdit* box)
{
    const QFileInfo file(box->text());
    if (!box->text().isEmpty() && file.isFile())
        return file.absoluteFilePath();
    operations::tell(m_window, missingText.arg(box->accessibleName()));
    return {};
}

QString BatchDialog::newFile(const QLineEdit* box)
{
    if (box->text().isEmpty()) {
        operations::tell(m_window, nameText);
        return {};
    }
    const QString path = QFileInfo(box->text()).absoluteFilePath();
    return mayWrite({path}) ? path : QString();
}

bool BatchDialog::mayWrite(const QStringList& paths)
{
    QStringList taken;
    for (const QString& path : paths) {
        if (const QString working = mdlFunctions::workingFileNamed(m_window, path);
            !working.isEmpty()) {
            operations::tell(m_window, workingText.arg(working));
            return false;
        }
        if (QFileInfo::exists(path))
            taken.append(QFileInfo(path).fileName());
    }
    if (taken.isEmpty())
        return true;
    const QString question = taken.size() == 1
                                 ? replaceText.arg(taken.front())
                                 : replaceAllText.arg(taken.front()).arg(taken.size() - 1);
    return operations::ask(m_window, question) == MsgYes;
}

bool BatchDialog::run(const QString& caption, const QString& label, const QString& opened,
                      const std::function<void(const OperationOptions&)>& work)
{
    {
        UndoHistory::Recording recording(m_window.history());
        recording.setCaption(caption);
        OperationOptions options;
        options.keep = operations::keeping(m_window, mdlFunctions::PaneDes);
        try {
            EngineCall::run(work, options, &m_window.progress(), label);
        } catch (const ImagingError& error) {
            operations::tell(m_window, error.message, MsgIcon::Exclamation);
            return false;
        }
    }
    accept();
    mdlFunctions::LoadDestinationFile(m_window, opened);
    mdlFunctions::UpdatePaneCaption(m_window, mdlFunctions::PaneDes);
    return true;
}

} // namespace tessary
