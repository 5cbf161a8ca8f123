#pragma once

#include <QString>

namespace tessary {

class HelpPlatform;
class MessageBoxService;
class ProgramFolder;

// The help file beside the program, and the window type its pages open in.
inline const QString HelpFileName = QStringLiteral("Tessary.chm");

// The one way the program opens its help file: checks that Tessary.chm is in the program
// folder (saying so when it is not), then shows, by topic word, the page "abouttessary.html"
// ("About"), the contents ("Contents"), the index ("Index") or the page "settings.html"
// ("Settings"). Any other word shows nothing. Words are compared exactly.
void ShowHelpTopic(const QString& topic, HelpPlatform& platform, MessageBoxService& boxes,
                   const ProgramFolder& programFolder);

} // namespace tessary
