#include "WindowsHelpPlatform.h"

#include "HelpError.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <vector>
#include <windows.h>

namespace tessary {

namespace {

// The control's records in the layout of this process (pointers of the native width).
struct NativeFtsQuery
{
    int cbStruct;
    BOOL fUniCodeStrings;
    LPCSTR pszSearchQuery;
    LONG iProximity;
    BOOL fStemmedSearch;
    BOOL fTitleOnly;
    BOOL fExecute;
    LPCSTR pszWindow;
};

struct NativeAkLink
{
    int cbStruct;
    BOOL fReserved;
    LPCSTR pszKeywords;
    LPCSTR pszUrl;
    LPCSTR pszMsgText;
    LPCSTR pszMsgTitle;
    LPCSTR pszWindow;
    BOOL fIndexOnFail;
};

struct NativePopup
{
    int cbStruct;
    HINSTANCE hinst;
    UINT idString;
    LPCSTR pszText;
    POINT pt;
    COLORREF clrForeground;
    COLORREF clrBackground;
    RECT rcMargins;
    LPCSTR pszFont;
};

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HWND handleOf(QWidget* widget)
{
    return widget ? reinterpret_cast<HWND>(widget->winId()) : nullptr;
}

HKEY rootKey(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users:
        return HKEY_USERS;
    case RegistryRoot::CurrentConfig:
        return HKEY_CURRENT_CONFIG;
    case RegistryRoot::DynData:
        return HKEY_DYN_DATA;
    case RegistryRoot::None:
        break;
    }
    return nullptr;
}

class WindowsRegistryKey : public RegistryKey
{
public:
    explicit WindowsRegistryKey(HKEY key)
        : m_key(key)
    {}
    ~WindowsRegistryKey() override { close(); }

    std::optional<RegistryValueInfo> enumValue(quint32 index) override
    {
        char name[2048];
        DWORD nameLength = sizeof(name);
        DWORD type = 0;
        DWORD dataSize = 2048;
        if (RegEnumValueA(m_key, index, name, &nameLength, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return RegistryValueInfo{QString::fromLocal8Bit(name, int(nameLength)), quint32(type),
                                 quint32(dataSize)};
    }

    std::optional<QString> queryValue(const QString& name) override
    {
        const QByteArray valueName = name.toLocal8Bit();
        DWORD size = 0;
        if (RegQueryValueExA(m_key, valueName.constData(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        std::vector<BYTE> data(size + 1, 0);
        if (RegQueryValueExA(m_key, valueName.constData(), nullptr, nullptr, data.data(), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return QString::fromLocal8Bit(reinterpret_cast<const char*>(data.data()), int(size));
    }

    bool setValue(const QString& name, quint32 type, const QString& data) override
    {
        const QByteArray bytes = data.toLocal8Bit();
        return RegSetValueExA(m_key, name.toLocal8Bit().constData(), 0, type,
                              reinterpret_cast<const BYTE*>(bytes.constData()),
                              DWORD(bytes.size() + 1)) == ERROR_SUCCESS;
    }

    bool deleteValue(const QString& name) override
    {
        return RegDeleteValueA(m_key, name.toLocal8Bit().constData()) == ERROR_SUCCESS;
    }

    bool close() override
    {
        if (!m_key)
            return true;
        const LONG result = RegCloseKey(m_key);
        m_key = nullptr;
        return result == ERROR_SUCCESS;
    }

private:
    HKEY m_key;
};

} // namespace

WindowsHelpPlatform::WindowsHelpPlatform() = default;

WindowsHelpPlatform::~WindowsHelpPlatform()
{
    if (m_control)
        FreeLibrary(static_cast<HMODULE>(m_control));
}

quintptr WindowsHelpPlatform::HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                                        const HtmlHelpData& data)
{
    if (!m_htmlHelp) {
        if (!m_control)
            m_control = LoadLibraryA("hhctrl.ocx");
        if (m_control) {
            m_htmlHelp = reinterpret_cast<void*>(
                GetProcAddress(static_cast<HMODULE>(m_control), "HtmlHelpA"));
        }
        if (!m_htmlHelp)
            throw HelpError(QStringLiteral("File not found: hhctrl.ocx"));
    }
    const auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(m_htmlHelp);

    // The class fills the records for the 32-bit layout; the sizes given here are this
    // process's own.
    NativeFtsQuery query{};
    NativeAkLink link{};
    NativePopup popup{};
    DWORD_PTR argument = 0;
    if (const auto* number = std::get_if<qint32>(&data)) {
        argument = DWORD_PTR(*number);
    } else if (const auto* text = std::get_if<const char*>(&data)) {
        argument = reinterpret_cast<DWORD_PTR>(*text);
    } else if (const auto* q = std::get_if<const HH_FTS_QUERY*>(&data)) {
        query = {int(sizeof(query)), (*q)->fUniCodeStrings, (*q)->pszSearchQuery,
                 (*q)->iProximity,   (*q)->fStemmedSearch,  (*q)->fTitleOnly,
                 (*q)->fExecute,     (*q)->pszWindow};
        argument = reinterpret_cast<DWORD_PTR>(&query);
    } else if (const auto* l = std::get_if<const HH_AKLINK*>(&data)) {
        link = {int(sizeof(link)), (*l)->fReserved,   (*l)->pszKeywords, (*l)->pszUrl,
                (*l)->pszMsgText,  (*l)->pszMsgTitle, (*l)->pszWindow,   (*l)->fIndexOnFail};
        argument = reinterpret_cast<DWORD_PTR>(&link);
    } else if (const auto* p = std::get_if<const HH_POPUP*>(&data)) {
        popup.cbStruct = int(sizeof(popup));
        popup.hinst = reinterpret_cast<HINSTANCE>((*p)->hinst);
        popup.idString = (*p)->idString;
        popup.pszText = (*p)->pszText;
        popup.pt = {(*p)->pt.x, (*p)->pt.y};
        popup.clrForeground = (*p)->clrForeground;
        popup.clrBackground = (*p)->clrBackground;
        popup.rcMargins = {(*p)->rcMargins.left, (*p)->rcMargins.top, (*p)->rcMargins.right,
                           (*p)->rcMargins.bottom};
        popup.pszFont = (*p)->pszFont;
        argument = reinterpret_cast<DWORD_PTR>(&popup);
    }
    return reinterpret_cast<quintptr>(htmlHelp(handleOf(owner), target, command, argument));
}

int WindowsHelpPlatform::messageBoxIndirect(const MessageBoxParams& params)
{
    const QByteArray text = params.lpszText.toLocal8Bit();
    const QByteArray caption = params.lpszCaption.toLocal8Bit();
    MSGBOXPARAMSA box{};
    box.cbSize = sizeof(box);
    box.hwndOwner = handleOf(params.hwndOwner);
    box.hInstance = reinterpret_cast<HINSTANCE>(params.hInstance);
    box.lpszText = text.constData();
    box.lpszCaption = caption.constData();
    box.dwStyle = params.dwStyle;
    box.lpszIcon = reinterpret_cast<LPCSTR>(params.lpszIcon);
    box.dwContextHelpId = params.dwContextHelpId;
    box.lpfnMsgBoxCallback = reinterpret_cast<MSGBOXCALLBACK>(params.lpfnMsgBoxCallback);
    box.dwLanguageId = params.dwLanguageId;
    return MessageBoxIndirectA(&box);
}

void WindowsHelpPlatform::enterContextHelpMode(QWidget* window)
{
    DefWindowProcA(handleOf(window), WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
}

QPoint WindowsHelpPlatform::cursorPos()
{
    POINT point{};
    GetCursorPos(&point);
    return QPoint(point.x, point.y);
}

std::optional<QString> WindowsHelpPlatform::findFirstFile(const QString& pattern)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(pattern.toLocal8Bit().constData(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    FindClose(search);
    return QString::fromLocal8Bit(found.cFileName);
}

std::unique_ptr<RegistryKey> WindowsHelpPlatform::regOpenKey(RegistryRoot root,
                                                             const QString& subKey, quint32 access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(rootKey(root), subKey.toLocal8Bit().constData(), 0, access, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WindowsRegistryKey>(key);
}

std::unique_ptr<RegistryKey>
WindowsHelpPlatform::regCreateKey(RegistryRoot root, const QString& subKey, quint32 access)
{
    HKEY key = nullptr;
    char noClass[] = "";
    if (RegCreateKeyExA(rootKey(root), subKey.toLocal8Bit().constData(), 0, noClass,
                        REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WindowsRegistryKey>(key);
}

bool WindowsHelpPlatform::versionEx(OsVersionInfo& info)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = info.dwOSVersionInfoSize;
    if (version.dwOSVersionInfoSize != sizeof(version))
        return false;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    const BOOL ok = GetVersionExA(&version);
#if defined(__GNUC__) && !defined(_MSC_VER)
#pragma GCC diagnostic pop
#endif
    if (!ok)
        return false;
    info.dwMajorVersion = version.dwMajorVersion;
    info.dwMinorVersion = version.dwMinorVersion;
    info.dwBuildNumber = version.dwBuildNumber;
    info.dwPlatformId = version.dwPlatformId;
    info.szCSDVersion = QString::fromLocal8Bit(version.szCSDVersion);
    return true;
}

std::optional<FixedFileInfo> WindowsHelpPlatform::fileVersionInfo(const QString& fileName)
{
    const QByteArray name = fileName.toLocal8Bit();
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(name.constData(), &unused);
    if (size == 0)
        return std::nullopt;
    size = qMin<DWORD>(size, 64000); // the fixed record sits at the start of the block
    std::vector<char> block(size + 1, 0);
    if (!GetFileVersionInfoA(name.constData(), 0, size, block.data()))
        return std::nullopt;
    void* fixed = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!VerQueryValueA(block.data(), root, &fixed, &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    return FixedFileInfo{info->dwFileVersionMS, info->dwFileVersionLS, info->dwProductVersionMS,
                         info->dwProductVersionLS};
}

std::optional<QString> WindowsHelpPlatform::expandEnvironmentStrings(const QString& text)
{
    const QByteArray source = text.toLocal8Bit();
    std::vector<char> expanded(2048, 0);
    const DWORD length =
        ExpandEnvironmentStringsA(source.constData(), expanded.data(), DWORD(expanded.size()));
    if (length == 0 || length > expanded.size())
        return std::nullopt;
    return QString::fromLocal8Bit(expanded.data());
}

std::optional<QString> WindowsHelpPlatform::longPathName(const QString& path)
{
    const QByteArray shortPath = path.toLocal8Bit();
    std::vector<char> buffer(MAX_PATH, 0);
    DWORD length = GetLongPathNameA(shortPath.constData(), buffer.data(), DWORD(buffer.size()));
    if (length >= buffer.size()) {
        buffer.assign(length + 1, 0);
        length = GetLongPathNameA(shortPath.constData(), buffer.data(), DWORD(buffer.size()));
    }
    if (length == 0 || length >= buffer.size())
        return std::nullopt;
    return QString::fromLocal8Bit(buffer.data(), int(length));
}

std::optional<QString> WindowsHelpPlatform::loadString(quint32 id)
{
    std::vector<char> buffer(4096, 0);
    const int length =
        LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), int(buffer.size()));
    if (length <= 0)
        return std::nullopt;
    return QString::fromLocal8Bit(buffer.data(), length);
}

QString WindowsHelpPlatform::applicationFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

} // namespace tessary
