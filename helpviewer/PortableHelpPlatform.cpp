#include "PortableHelpPlatform.h"

#include "MessageBoxService.h"
#include "PeVersionReader.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWhatsThis>

namespace tessary {

namespace {

MsgButtons buttonsOf(quint32 style)
{
    switch (style & 0x0F) {
    case 1:
        return MsgButtons::OkCancel;
    case 3:
        return MsgButtons::YesNoCancel;
    case 4:
        return MsgButtons::YesNo;
    default:
        return MsgButtons::Ok;
    }
}

MsgIcon iconOf(quint32 style)
{
    switch (style & 0xF0) {
    case 0x10:
        return MsgIcon::Critical;
    case 0x20:
        return MsgIcon::Question;
    case 0x30:
        return MsgIcon::Exclamation;
    case 0x40:
        return MsgIcon::Information;
    default:
        return MsgIcon::None;
    }
}

bool hasWildcards(const QString& name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

} // namespace

PortableHelpPlatform::PortableHelpPlatform(MessageBoxService& boxes, const QString& registryFile,
                                           QHash<quint32, QString> strings)
    : m_boxes(boxes)
    , m_help(boxes)
    , m_registry(registryFile)
    , m_strings(std::move(strings))
{}

QString PortableHelpPlatform::defaultRegistryFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tessary/registry.ini");
}

quintptr PortableHelpPlatform::HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                                         const HtmlHelpData& data)
{
    return m_help.run(owner, target, command, data);
}

int PortableHelpPlatform::messageBoxIndirect(const MessageBoxParams& params)
{
    return m_boxes.show(params.hwndOwner, params.lpszText, params.lpszCaption,
                        buttonsOf(params.dwStyle), iconOf(params.dwStyle));
}

void PortableHelpPlatform::enterContextHelpMode(QWidget*)
{
    QWhatsThis::enterWhatsThisMode();
}

QPoint PortableHelpPlatform::cursorPos()
{
    return QCursor::pos();
}

std::optional<QString> PortableHelpPlatform::findFirstFile(const QString& pattern)
{
    const QString path = QDir::fromNativeSeparators(pattern);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (name.isEmpty())
        return std::nullopt;
    const QString folder = slash < 0 ? QStringLiteral(".") : path.left(qMax<qsizetype>(slash, 1));
    if (hasWildcards(folder))
        return std::nullopt;
    if (!hasWildcards(name)) {
        const QFileInfo entry(path);
        return entry.exists() ? std::optional<QString>(entry.fileName()) : std::nullopt;
    }
    const QStringList found = QDir(folder).entryList(
        {name}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

std::unique_ptr<RegistryKey> PortableHelpPlatform::regOpenKey(RegistryRoot root,
                                                              const QString& subKey, quint32)
{
    return m_registry.openKey(root, subKey);
}

std::unique_ptr<RegistryKey> PortableHelpPlatform::regCreateKey(RegistryRoot root,
                                                                const QString& subKey, quint32)
{
    return m_registry.createKey(root, subKey);
}

bool PortableHelpPlatform::versionEx(OsVersionInfo&)
{
    return false; // not a Windows system
}

std::optional<FixedFileInfo> PortableHelpPlatform::fileVersionInfo(const QString& fileName)
{
    return PeVersionReader::read(fileName);
}

std::optional<QString> PortableHelpPlatform::expandEnvironmentStrings(const QString& text)
{
    // The registry's own %NAME% form; names that are not set stay as they are.
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    QString result;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = variable.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += text.mid(from, match.capturedStart() - from);
        const QByteArray name = match.captured(1).toLocal8Bit();
        result += qEnvironmentVariableIsSet(name.constData())
                      ? qEnvironmentVariable(name.constData())
                      : match.captured(0);
        from = match.capturedEnd();
    }
    return result + text.mid(from);
}

std::optional<QString> PortableHelpPlatform::longPathName(const QString& path)
{
    const QString canonical = QFileInfo(QDir::fromNativeSeparators(path)).canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    QString result = QDir::toNativeSeparators(canonical);
    if ((path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator())) &&
        !result.endsWith(QDir::separator()))
        result += QDir::separator();
    return result;
}

std::optional<QString> PortableHelpPlatform::loadString(quint32 id)
{
    const auto text = m_strings.constFind(id);
    if (text == m_strings.constEnd())
        return std::nullopt;
    return *text;
}

QString PortableHelpPlatform::applicationFolder()
{
    if (!m_applicationFolder.isEmpty())
        return m_applicationFolder;
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QChar PortableHelpPlatform::separator()
{
    return QDir::separator();
}

} // namespace tessary
