#include "frmReorder.h"

#include "FormLayout.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "NumericText.h"
#include "OperationSupport.h"
#include "PageOperations.h"
#include "Tessary.h"
#include "UndoCaption.h"
#include "UndoHistory.h"
#include "mdlFunctions.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

namespace tessary {

using namespace mdlFunctions;
using operations::ask;
using operations::tell;

namespace {

constexpr unsigned darkBlue = 0xC00000;
constexpr unsigned paleYellow = 0xCFFEFC;
constexpr unsigned black = 0x000000;

} // namespace

frmReorder::frmReorder(Tessary& window)
    : QDialog(&window)
    , m_window(window)
{
    const FormLayout layout;
    setObjectName(QStringLiteral("frmReorder"));
    setWindowTitle(QStringLiteral("Reorder Pages"));
    setModal(true);
    setFixedSize(layout.twips(0, 0, 2895, 2670).size());

    const QFont labelFont = FormLayout::timesNewRoman(9.75, true);
    const QFont boxFont = FormLayout::timesNewRoman(9, true);
    const QFont buttonFont = FormLayout::timesNewRoman(8.25, false);

    lblTitle = new QLabel(QStringLiteral("Insert this page:"), this);
    layout.place(lblTitle, "lblTitle", layout.twips(0, 480, 1515, 255), labelFont);
    FormLayout::setColours(lblTitle, FormLayout::fromBgr(black));

    txtPage = new QLineEdit(this);
    layout.place(txtPage, "txtPage", layout.twips(1560, 420, 1215, 315), boxFont);
    FormLayout::setColours(txtPage, FormLayout::fromBgr(darkBlue), FormLayout::fromBgr(paleYellow));
    lblTitle->setBuddy(txtPage);

    Label1 = new QLabel(QStringLiteral("Before this page:"), this);
    layout.place(Label1, "Label1", layout.twips(0, 840, 1515, 255), labelFont);
    FormLayout::setColours(Label1, FormLayout::fromBgr(black));

    txtInsert = new QLineEdit(QStringLiteral("?"), this);
    layout.place(txtInsert, "txtInsert", layout.twips(1560, 780, 1215, 315), boxFont);
    FormLayout::setColours(txtInsert, FormLayout::fromBgr(darkBlue),
                           FormLayout::fromBgr(paleYellow));
    Label1->setBuddy(txtInsert);

    chkCopy = new QCheckBox(QStringLiteral("Copy Page?"), this);
    layout.place(chkCopy, "chkCopy", layout.twips(780, 1440, 1335, 315), labelFont);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    layout.place(cmdOK, "cmdOK", layout.twips(60, 2100, 1215, 495), buttonFont);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    layout.place(cmdCancel, "cmdCancel", layout.twips(1620, 2100, 1215, 495), buttonFont);

    // Tab order: the page, the place, OK, Cancel, the check box; the page box has the
    // focus at first.
    setTabOrder(txtPage, txtInsert);
    setTabOrder(txtInsert, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, chkCopy);
    txtPage->setFocus();

    // Enter in the page box acts as OK, with all its checks; Escape as Cancel.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmReorder::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmReorder::cmdCancel_Click);

    Form_Load();
}

int frmReorder::exec()
{
    if (m_unloaded)
        return result();
    return QDialog::exec();
}

void frmReorder::Form_Load()
{
    const ImagingEdit& destination = *m_window.imgDes;
    if (destination.image().isEmpty()) {
        tell(m_window, noDestinationText);
        m_unloaded = true;
        reject();
        return;
    }
    txtPage->setText(QString::number(destination.page()));
}

void frmReorder::cmdCancel_Click()
{
    reject();
}

void frmReorder::cmdOK_Click()
{
    Tessary& window = m_window;
    ImagingEdit& destination = *window.imgDes;
    const std::int32_t pages = destination.pageCount();
    const QString invalid = invalidChoicesText + QString::number(pages);
    const std::optional<double> page = NumericText::read(txtPage->text());
    const std::optional<double> before = NumericText::read(txtInsert->text());
    if (!page || !before) {
        tell(window, invalid);
        return;
    }
    if (txtPage->text() == txtInsert->text()) {
        tell(window, samePageText);
        return;
    }
    if (*page < 1 || *page > pages || *before < 1 || *before > pages) {
        tell(window, invalid);
        return;
    }
    if (window.flags.PromptBeforeAction && ask(window, reorderQuestion) != MsgYes)
        return;

    const std::int32_t p = NumericText::toWhole(*page);
    const std::int32_t i = NumericText::toWhole(*before);
    ImagingAdmin& admin = *window.imgAdmSrc;
    const QString file = destination.image();
    const std::optional<FileStamp> stamp = destination.stamp();
    const std::int32_t shownPage = destination.page();
    admin.setFileName(file);
    // The copy and the removal of the old page are one step to undo.
    UndoHistory::Recording recording(window.history());
    recording.setCaption(UndoCaption::reorder(true, p, i, file));
    std::optional<operations::HeldFiles> held;
    if (!chkCopy->isChecked())
        held.emplace(admin, QStringList{file});
    destination.clearDisplay();
    destination.setImage(QString());
    try {
        // The copy becomes page i; the pages from the old page i on move up by one.
        admin.insertPages(file, p, i, 1, {stamp, stamp, operations::keeping(window, PaneDes)});
    } catch (const ImagingError& error) {
        // The file is as it was: show it again, read afresh.
        const QString text = operations::showChangedAgain(window, error);
        admin.setFileName(QString());
        destination.setImage(file);
        if (shownPage >= 1 && shownPage <= destination.pageCount())
            destination.setPage(shownPage);
        destination.fitTo(ImagingEdit::FitWholePage);
        destination.display();
        window.txtPageDes->setText(operations::pageText(destination));
        UpdatePaneCaption(window, PaneDes);
        tell(window, text, MsgIcon::Exclamation);
        accept();
        return;
    }
    destination.setImage(admin.fileName());
    admin.setFileName(QString());
    destination.fitTo(ImagingEdit::FitWholePage);
    destination.setPage(i);
    destination.display();
    if (!chkCopy->isChecked()) {
        // The old copy has moved up by one when the new one went before it.
        if (DeletePages(window, destination, *window.txtPageDes, i <= p ? p + 1 : p, 1))
            recording.setCaption(UndoCaption::reorder(false, p, i, file));
    }
    UpdatePaneCaption(window, PaneDes);
    accept();
}

} // namespace tessary
