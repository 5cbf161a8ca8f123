#include "frmRotate.h"

#include "FormLayout.h"
#include "ImagingEdit.h"
#include "MessageBoxService.h"
#include "NumericText.h"
#include "PageOperations.h"
#include "Tessary.h"
#include "UndoCaption.h"
#include "UndoHistory.h"
#include "frmRange.h"
#include "mdlFunctions.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tessary {

using namespace mdlFunctions;

namespace {

constexpr unsigned darkBlue = 0xC00000;
constexpr unsigned paleYellow = 0xCFFEFC;
constexpr unsigned black = 0x000000;

// The quarter turns clockwise of each option.
constexpr std::array<int, 3> quarterTurns = {1, 3, 2};

} // namespace

frmRotate::frmRotate(Tessary& window)
    : QDialog(&window)
    , m_window(window)
{
    const FormLayout layout;
    setObjectName(QStringLiteral("frmRotate"));
    setWindowTitle(QStringLiteral("Rotate Pages..."));
    setModal(true);
    setFixedSize(layout.twips(0, 0, 2850, 2655).size());

    const QFont labelFont = FormLayout::timesNewRoman(9.75, true);
    const QFont boxFont = FormLayout::timesNewRoman(9, true);
    const QFont buttonFont = FormLayout::timesNewRoman(8.25, false);

    lblTitle = new QLabel(QStringLiteral("Example: 3-7"), this);
    layout.place(lblTitle, "lblTitle", layout.twips(720, 180, 1215, 255), labelFont);
    FormLayout::setColours(lblTitle, FormLayout::fromBgr(black));
    const auto box = [&](QLineEdit*& edit, const char* name, int left, const QString& spoken) {
        edit = new QLineEdit(this);
        layout.place(edit, name, layout.twips(left, 600, 1215, 315), boxFont);
        FormLayout::setColours(edit, FormLayout::fromBgr(darkBlue),
                               FormLayout::fromBgr(paleYellow));
        edit->setAccessibleName(spoken);
    };
    box(txtFrom, "txtFrom", 120, QStringLiteral("From page"));
    Label1 = new QLabel(QStringLiteral("-"), this);
    layout.place(Label1, "Label1", layout.twips(1380, 600, 255, 255),
                 FormLayout::timesNewRoman(12, true));
    FormLayout::setColours(Label1, FormLayout::fromBgr(darkBlue));
    box(txtTo, "txtTo", 1500, QStringLiteral("To page"));

    const char* names[] = {"optTurn0", "optTurn1", "optTurn2"};
    const QString captions[] = {QStringLiteral("Right (90° clockwise)"),
                                QStringLiteral("Left (90° anticlockwise)"), QStringLiteral("180°")};
    for (std::size_t i = 0; i < optTurn.size(); ++i) {
        optTurn[i] = new QRadioButton(captions[i], this);
        layout.place(optTurn[i], names[i], layout.twips(120, 1020 + 300 * int(i), 2610, 285),
                     labelFont);
    }
    optTurn[0]->setChecked(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    layout.place(cmdOK, "cmdOK", layout.twips(120, 2040, 1215, 495), buttonFont);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    layout.place(cmdCancel, "cmdCancel", layout.twips(1500, 2040, 1215, 495), buttonFont);

    // As in the range dialog: OK has the focus at first, Enter acts as OK, Escape as Cancel.
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, txtFrom);
    setTabOrder(txtFrom, txtTo);
    setTabOrder(txtTo, optTurn[0]);
    cmdOK->setFocus();
    cmdOK->setDefault(true);
    for (QLineEdit* edit : {txtFrom, txtTo}) {
        connect(edit, &QLineEdit::textChanged, this, [edit] {
            if (!edit->text().isEmpty() && !NumericText::isNumber(edit->text()))
                edit->setText(QString());
        });
    }
    connect(cmdOK, &QPushButton::clicked, this, &frmRotate::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    txtFrom->setText(QStringLiteral("1"));
    txtTo->setText(QString::number(window.imgDes->pageCount()));
}

void frmRotate::cmdOK_Click()
{
    Tessary& window = m_window;
    const ImagingEdit& destination = *window.imgDes;
    const auto range =
        frmRange::checkRange(window, txtFrom->text(), txtTo->text(), destination.pageCount());
    if (!range)
        return;
    if (ConfirmPageAction(window, window.flags.PromptBeforeAction, QStringLiteral("Rotate")) ==
        MsgNo)
        return;
    int quarters = quarterTurns[0];
    for (std::size_t i = 0; i < optTurn.size(); ++i) {
        if (optTurn[i]->isChecked())
            quarters = quarterTurns[i];
    }
    const std::int32_t count = range->second - range->first + 1;
    UndoHistory::Recording recording(window.history());
    recording.setCaption(UndoCaption::rotate(range->first, count, destination.image()));
    RotatePages(window, range->first, count, quarters);
    accept();
}

} // namespace tessary
