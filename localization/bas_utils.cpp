#include "localization/bas_utils.h"

#include "core/text.h"
#include "platform/host/library_folder.h"
#include "platform/host/registry.h"

namespace veldrane {

namespace {

// This thread's connection to the translation database; set at the first
// lookup and kept even when its open failed, so a missing database costs
// one attempt per thread, not one per text.
thread_local ado::ConnectionRef cnLang;

// A value between single quotes in a statement. The layer offers no bound
// parameters, so a quote inside the value is doubled: texts, contexts and
// keys holding quotes are then matched and recorded as they are.
std::string Quoted(const std::string& value) { return "'" + ReplaceAll(value, "'", "''") + "'"; }

std::string LanguageKey() {
  try {
    return host::CurrentRegistry()->RegRead(host::kKeyboardLayoutValue).value_or(std::string());
  } catch (const std::exception&) {
    // A host registry that fails is a value that cannot be read: the
    // empty key, as for a missing value.
    return std::string();
  }
}

}  // namespace

std::string TranslationConnectionString(const std::string& folder) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=hbvqeynzk5820471936;Data Source=" +
         host::JoinPath(folder, kTranslationDatabase) + ";Persist Security Info=False;";
}

ado::RecordsetRef LookupTranslation(const std::string& Text, const std::string& LanguageKey,
                                    const std::string& Ambient) {
  if (!cnLang) {
    cnLang = ado::Connection::Create();
    cnLang->Open(TranslationConnectionString(host::LibraryFolder()), "", "", -1);
  }
  std::string sql = "SELECT * FROM SYS_TRANSLATION WHERE DESTLANGUAGE = " + Quoted(LanguageKey) +
                    " AND SOURCESTRING = " + Quoted(Text);
  if (!Ambient.empty()) sql += " AND AMBIENT = " + Quoted(Ambient);
  auto rs = ado::Recordset::Create();
  rs->Open(Variant(sql), Variant(ObjectRef(cnLang)), ado::adOpenStatic);
  if (rs->RecordCount() == 0) {
    cnLang->Execute("INSERT INTO SYS_TRANSLATION (DESTLANGUAGE,SOURCESTRING,AMBIENT)  VALUES (" +
                    Quoted(LanguageKey) + "," + Quoted(Text) + "," + Quoted(Ambient) + ")");
  }
  return rs;
}

std::string Translate(const std::string& Text, const std::string& Ambient) {
  std::string result;
  try {
    auto rs = LookupTranslation(Text, LanguageKey(), Ambient);
    // No row (3021) or a Null translation (94) leave the result empty.
    result = rs->GetFields().Item(std::string_view("DestString")).Value().ToString();
  } catch (const std::exception&) {
    // Translation absorbs every failure by design (no database, a wrong
    // password, a failed query or insert): the text comes back unchanged.
  }
  return result.empty() ? Text : result;
}

}  // namespace veldrane
