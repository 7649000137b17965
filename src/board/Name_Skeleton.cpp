#include "Name_Skeleton.h"

#include <QStringList>

#include <unicode/uscript.h>
#include <unicode/uspoof.h>
#include <unicode/utf16.h>

#include <memory>

namespace
{
struct Checker_Closer
{
    void operator()(USpoofChecker* checker) const { uspoof_close(checker); }
};
using Checker = std::unique_ptr<USpoofChecker, Checker_Closer>;

// A checker is cheap to open and not to be shared between threads while in use: one a call.
Checker Open_Checker(uint32_t checks)
{
    UErrorCode status = U_ZERO_ERROR;
    Checker checker(uspoof_open(&status));
    if (U_FAILURE(status))
        return Checker();
    uspoof_setChecks(checker.get(), checks, &status);
    if (checks & USPOOF_RESTRICTION_LEVEL)
        uspoof_setRestrictionLevel(checker.get(), USPOOF_HIGHLY_RESTRICTIVE);
    return U_FAILURE(status) ? Checker() : std::move(checker);
}

const UChar* Utf16(const QString& text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}
} // namespace

QString Name_Skeleton::Of(const QString& name)
{
    // Letters' case is the name's own business (names are found in any case): the skeleton is of the folded
    // name.
    const QString folded = name.toCaseFolded();
    const Checker checker = Open_Checker(USPOOF_CONFUSABLE);
    if (!checker)
        return folded;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uspoof_getSkeleton(checker.get(), 0, Utf16(folded),
                                              static_cast<int32_t>(folded.size()), nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return folded;
    QString skeleton(length, QChar());
    status = U_ZERO_ERROR;
    uspoof_getSkeleton(checker.get(), 0, Utf16(folded), static_cast<int32_t>(folded.size()),
                       reinterpret_cast<UChar*>(skeleton.data()), length, &status);
    return U_FAILURE(status) ? folded : skeleton.toCaseFolded();
}

QString Name_Skeleton::Mixed_Scripts(const QString& name)
{
    const Checker checker = Open_Checker(USPOOF_RESTRICTION_LEVEL);
    if (!checker)
        return QString();
    UErrorCode status = U_ZERO_ERROR;
    const int32_t failed =
        uspoof_check2(checker.get(), Utf16(name), static_cast<int32_t>(name.size()), nullptr, &status);
    if (U_FAILURE(status) || (failed & USPOOF_RESTRICTION_LEVEL) == 0)
        return QString();
    // Named for the player: the scripts of the name's letters, in the order they come.
    QStringList scripts;
    for (int i = 0; i < name.size();)
    {
        const char32_t code = name.at(i).isHighSurrogate() && i + 1 < name.size()
                                  ? QChar::surrogateToUcs4(name.at(i), name.at(i + 1))
                                  : name.at(i).unicode();
        i += code > 0xffff ? 2 : 1;
        UErrorCode script_status = U_ZERO_ERROR;
        const UScriptCode script = uscript_getScript(static_cast<UChar32>(code), &script_status);
        if (U_FAILURE(script_status) || script == USCRIPT_COMMON || script == USCRIPT_INHERITED)
            continue;
        const QString script_name = QString::fromLatin1(uscript_getName(script));
        if (!scripts.contains(script_name))
            scripts << script_name;
    }
    return scripts.join(QStringLiteral(" and "));
}
