#include "ShowHelpTopic.h"

#include "HTMLHelp.h"
#include "MessageBoxService.h"
#include "ProgramFolder.h"

namespace tessary {

namespace {

const QString missingHelpFile =
    QStringLiteral("Help file: \"Tessary.chm\" is missing, please download a \r\n"
                   "new help file from Brovane's web site.");

} // namespace

void ShowHelpTopic(const QString& topic, HelpPlatform& platform, MessageBoxService& boxes,
                   const ProgramFolder& programFolder)
{
    // A fresh object for every request, so a help file copied in meanwhile is found.
    HTMLHelp help(platform);
    QString path = programFolder.filePath(HelpFileName);
    if (!help.EnsureFileExists(path)) {
        boxes.show(nullptr, missingHelpFile, QStringLiteral("Tessary"), MsgButtons::Ok,
                   MsgIcon::None);
        return;
    }
    help.setCHMFile(path);
    help.setHHWindow(QStringLiteral("Main"));
    if (topic == QLatin1String("About")) {
        help.setHHTopicURL(QStringLiteral("abouttessary.html"));
        help.HHDisplayTopicURL();
    } else if (topic == QLatin1String("Index")) {
        help.HHDisplayIndex();
    } else if (topic == QLatin1String("Contents")) {
        help.HHDisplayContents();
    } else if (topic == QLatin1String("Settings")) {
        help.setHHTopicURL(QStringLiteral("settings.html"));
        help.HHDisplayTopicURL();
    }
}

} // namespace tessary
