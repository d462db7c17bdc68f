// basUtils: translation of the library's fixed user-visible texts (message
// box prompts and titles, log messages) into the current user's language.
//
// Texts are looked up in the table SYS_TRANSLATION of the translation
// database VeldraneLang.mdb beside the component library, by the user's
// keyboard-layout value, the English text and its context (the class that
// shows it). A text without a translation comes back unchanged and is
// recorded in the table on its first use, so translators find it there.
// Translation never fails towards its caller.
//
// Each thread keeps its own connection to the database (cnLang), opened at
// its first lookup and kept for the thread's life; when that open fails it is
// not tried again in the thread, and every text of the thread comes back as
// it was written.
#pragma once

#include <string>

#include "platform/db/ado.h"

namespace veldrane {

// The translation of `Text` for the context `Ambient` (a class name, or ""
// to accept a translation of any context), or `Text` itself. Never raises.
std::string Translate(const std::string& Text, const std::string& Ambient);

// The rows of SYS_TRANSLATION for the language, text and context (any
// context when `Ambient` is empty), as a static recordset; records the text
// without a translation when no row matches (the recordset returned is then
// still empty). Raises when the database cannot be opened or queried.
ado::RecordsetRef LookupTranslation(const std::string& Text, const std::string& LanguageKey,
                                    const std::string& Ambient);

// The connection string of the translation database in `folder`.
std::string TranslationConnectionString(const std::string& folder);

// The database's file name, joined to the library folder.
inline constexpr const char* kTranslationDatabase = "\\VeldraneLang.mdb";

namespace basUtils {
using veldrane::LookupTranslation;
using veldrane::Translate;
}  // namespace basUtils

}  // namespace veldrane
