#include "mdlBrowse.h"

#include "FolderChooser.h"

#include <QLineEdit>

namespace tessary::mdlBrowse {

QString BrowseForFolder(const BrowseTargets& targets, const QString& start, const QString& tag)
{
    const QString chosen =
        targets.chooser.chooseFolder(targets.owner, BrowseTitle, start).value_or(QString());
    if (chosen.isEmpty())
        return chosen;
    if (tag == TagTessary) {
        if (targets.fileListFolder)
            targets.fileListFolder(chosen);
    } else if (tag == TagSettingsSrc) {
        if (targets.txtSrcDir)
            targets.txtSrcDir->setText(chosen);
    } else if (tag == TagSettingsDes) {
        if (targets.txtDesDir)
            targets.txtDesDir->setText(chosen);
    }
    return chosen;
}

} // namespace tessary::mdlBrowse
