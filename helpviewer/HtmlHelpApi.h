#pragma once

#include <QtGlobal>
#include <variant>

namespace tessary {

// Commands of the HTML Help control, with the numbers the control defines.
inline constexpr quint32 HH_DISPLAY_TOPIC = 0x0000;
inline constexpr quint32 HH_DISPLAY_TOC = 0x0001;
inline constexpr quint32 HH_DISPLAY_INDEX = 0x0002;
inline constexpr quint32 HH_DISPLAY_SEARCH = 0x0003;
inline constexpr quint32 HH_KEYWORD_LOOKUP = 0x000D;
inline constexpr quint32 HH_DISPLAY_TEXT_POPUP = 0x000E;
inline constexpr quint32 HH_HELP_CONTEXT = 0x000F;
inline constexpr quint32 HH_CLOSE_ALL = 0x0012;
inline constexpr quint32 HH_ALINK_LOOKUP = 0x0013;

// The control's records, field by field. Texts are 8-bit (ANSI) strings owned by the
// caller for the duration of the call; a null pointer means "no value".

// Full-text search request of HH_DISPLAY_SEARCH.
struct HH_FTS_QUERY
{
    qint32 cbStruct = 0;
    qint32 fUniCodeStrings = 0;
    const char* pszSearchQuery = nullptr;
    qint32 iProximity = 0;
    qint32 fStemmedSearch = 0;
    qint32 fTitleOnly = 0;
    qint32 fExecute = 0;
    const char* pszWindow = nullptr;
};

// Keyword or associative-link lookup of HH_KEYWORD_LOOKUP and HH_ALINK_LOOKUP.
struct HH_AKLINK
{
    qint32 cbStruct = 0;
    qint32 fReserved = 0;
    const char* pszKeywords = nullptr; // names separated by semicolons
    const char* pszUrl = nullptr;      // topic shown when nothing is found
    const char* pszMsgText = nullptr;  // else this message is shown ...
    const char* pszMsgTitle = nullptr; // ... with this title
    const char* pszWindow = nullptr;   // window type to show the topic in
    qint32 fIndexOnFail = 0;
};

struct HH_POINT
{
    qint32 x = 0;
    qint32 y = 0;
};

struct HH_RECT
{
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;
};

// Text pop-up of HH_DISPLAY_TEXT_POPUP. Colours are 0x00BBGGRR values, -1 (all bits set)
// meaning the system's colour; margins of -1 mean the control's own margins.
struct HH_POPUP
{
    qint32 cbStruct = 0;
    quintptr hinst = 0;
    quint32 idString = 0;          // topic number in a pop-up text file, when pszText is null
    const char* pszText = nullptr; // literal text
    HH_POINT pt;                   // screen position
    quint32 clrForeground = 0;
    quint32 clrBackground = 0;
    HH_RECT rcMargins;
    const char* pszFont = nullptr; // "face, size, charset, styles"
};

// The last argument of HtmlHelpA: nothing (0), a number, a text, or one of the records.
using HtmlHelpData = std::variant<std::monostate, qint32, const char*, const HH_FTS_QUERY*,
                                  const HH_AKLINK*, const HH_POPUP*>;

} // namespace tessary
