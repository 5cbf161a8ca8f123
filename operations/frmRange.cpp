#include "frmRange.h"

#include "FormLayout.h"
#include "ImagingEdit.h"
#include "NumericText.h"
#include "OperationSupport.h"
#include "PageOperations.h"
#include "Tessary.h"
#include "UndoHistory.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <optional>

namespace tessary {

using namespace mdlFunctions;
using operations::tell;

namespace {

constexpr unsigned darkBlue = 0xC00000;
constexpr unsigned paleYellow = 0xCFFEFC;
constexpr unsigned black = 0x000000;

// Empties box when its text does not read as a number.
void keepOnlyNumbers(QLineEdit* box)
{
    if (!box->text().isEmpty() && !NumericText::isNumber(box->text()))
        box->setText(QString());
}

} // namespace

frmRange::frmRange(Tessary& window)
    : QDialog(&window)
    , m_window(window)
{
    const FormLayout layout;
    setObjectName(QStringLiteral("frmRange"));
    setWindowTitle(QStringLiteral("Select Range..."));
    setModal(true);
    setFixedSize(layout.twips(0, 0, 2850, 1575).size());

    const QFont labelFont = FormLayout::timesNewRoman(9.75, true);
    const QFont boxFont = FormLayout::timesNewRoman(9, true);
    const QFont buttonFont = FormLayout::timesNewRoman(8.25, false);

    lblTitle = new QLabel(QStringLiteral("Example: 3-7"), this);
    layout.place(lblTitle, "lblTitle", layout.twips(720, 180, 1215, 255), labelFont);
    FormLayout::setColours(lblTitle, FormLayout::fromBgr(black));

    txtFrom = new QLineEdit(QStringLiteral("1"), this);
    layout.place(txtFrom, "txtFrom", layout.twips(120, 600, 1215, 315), boxFont);
    FormLayout::setColours(txtFrom, FormLayout::fromBgr(darkBlue), FormLayout::fromBgr(paleYellow));
    txtFrom->setAccessibleName(QStringLiteral("From page"));

    Label1 = new QLabel(QStringLiteral("-"), this);
    layout.place(Label1, "Label1", layout.twips(1380, 600, 255, 255),
                 FormLayout::timesNewRoman(12, true));
    FormLayout::setColours(Label1, FormLayout::fromBgr(darkBlue));

    txtTo = new QLineEdit(this);
    layout.place(txtTo, "txtTo", layout.twips(1500, 600, 1215, 315), boxFont);
    FormLayout::setColours(txtTo, FormLayout::fromBgr(darkBlue), FormLayout::fromBgr(paleYellow));
    txtTo->setAccessibleName(QStringLiteral("To page"));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    layout.place(cmdOK, "cmdOK", layout.twips(120, 1020, 1215, 495), buttonFont);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    layout.place(cmdCancel, "cmdCancel", layout.twips(1500, 1020, 1215, 495), buttonFont);

    // Tab order: OK, Cancel, From, To; the labels take no focus. OK has it at first.
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, txtFrom);
    setTabOrder(txtFrom, txtTo);
    cmdOK->setFocus();
    // Enter in a page box acts as OK, with all its checks; Escape as Cancel.
    cmdOK->setDefault(true);

    connect(txtFrom, &QLineEdit::textChanged, this, &frmRange::txtFrom_Change);
    connect(txtTo, &QLineEdit::textChanged, this, &frmRange::txtTo_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmRange::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRange::cmdCancel_Click);

    Form_Load();
}

void frmRange::Form_Load()
{
    PageModeFound = false;
    PageModeIndex = 0;
    for (std::int16_t index = ModeAppend; index <= ModeNewFile; ++index) {
        if (m_window.optMode(index)->isChecked() && index != ModeNewFile) {
            PageModeFound = true;
            PageModeIndex = index;
            break;
        }
        PageModeFound = false;
    }
    if (PageModeFound) {
        txtFrom->setText(QString::number(m_window.imgSrc->page()));
        txtTo->setText(QString::number(m_window.imgSrc->pageCount()));
    }
}

void frmRange::txtFrom_Change()
{
    keepOnlyNumbers(txtFrom);
}

void frmRange::txtTo_Change()
{
    keepOnlyNumbers(txtTo);
}

void frmRange::cmdCancel_Click()
{
    reject();
}

std::optional<std::pair<std::int32_t, std::int32_t>> frmRange::checkRange(Tessary& window,
                                                                          const QString& fromText,
                                                                          const QString& toText,
                                                                          std::int32_t pages)
{
    const QString count = QString::number(pages);
    const std::optional<double> from = NumericText::read(fromText);
    const std::optional<double> to = NumericText::read(toText);
    if (!from || !to) {
        tell(window, invalidRangeText + count);
        return std::nullopt;
    }
    if (*from > *to) {
        tell(window, orderText);
        return std::nullopt;
    }
    if (*to > pages) {
        tell(window, maximumText + count);
        return std::nullopt;
    }
    if (*from < 1 || *to < 1) {
        tell(window, invalidRangeText + count);
        return std::nullopt;
    }
    // The checks above hold for the whole pages too: rounding keeps the order, and the
    // bounds are whole numbers.
    return std::pair(NumericText::toWhole(*from), NumericText::toWhole(*to));
}

void frmRange::cmdOK_Click()
{
    Tessary& window = m_window;
    const std::int32_t pages = window.imgSrc->pageCount();
    const auto range = checkRange(window, txtFrom->text(), txtTo->text(), pages);
    if (!range)
        return;
    const std::int32_t first = range->first;
    const std::int32_t last = range->second;
    const std::int32_t run = last - first + 1;
    // Counted in the pages that would leave the source.
    if (window.mnuMove->isChecked() && run == pages) {
        tell(window, moveAllText);
        return;
    }

    // The transfer and, with Move, the removal from the source are one step to undo.
    UndoHistory::Recording recording(window.history());
    const QString source = window.imgSrc->image();
    bool written = false;
    std::optional<operations::HeldFiles> held;
    if (PageModeFound && window.mnuMove->isChecked())
        held.emplace(*window.imgAdmSrc,
                     QStringList{window.imgDes->image(), window.imgSrc->image()});
    if (!PageModeFound) {
        if (ConfirmPageAction(window, window.flags.PromptBeforeAction, QStringLiteral("New")) ==
            MsgNo)
            return;
        written = ExtractRangeToNewFile(window, first, last);
        window.flags.NewFileRefused = false;
    } else if (PageModeIndex == ModeAppend) {
        if (ConfirmPageAction(window, window.flags.PromptBeforeAction, QStringLiteral("Append")) ==
            MsgNo)
            return;
        written = AppendPages(window, first, run);
    } else if (PageModeIndex == ModeInsert) {
        if (ConfirmPageAction(window, window.flags.PromptBeforeAction, QStringLiteral("Insert")) ==
            MsgNo)
            return;
        written = InsertPages(window, first, run);
    } else if (PageModeIndex == ModeReplace) {
        if (ConfirmPageAction(window, window.flags.PromptBeforeAction, QStringLiteral("Replace")) ==
            MsgNo)
            return;
        const ImagingEdit& destination = *window.imgDes;
        if (run > destination.pageCount() - destination.page() + 1) {
            tell(window, replaceFitText);
            return;
        }
        written = ReplacePages(window, first, run);
    }

    // The pages leave the source only when they were written to the destination.
    bool moved = false;
    if (written && window.mnuMove->isChecked() && !window.flags.SameFileRefused &&
        !window.imgDes->image().isEmpty()) {
        moved = DeletePages(window, *window.imgSrc, *window.txtPageSrc, first, run);
        UpdatePaneCaption(window, PaneSrc);
    }
    window.flags.SameFileRefused = false;
    recording.setCaption(UndoCaption::transfer(
        operations::transferKind(PageModeFound ? int(PageModeIndex) : int(ModeNewFile), moved),
        first, run, source, window.imgDes->image()));
    accept();
}

} // namespace tessary
