// The mapping from POSIX locale names to the language identifiers that the
// keyboard-layout value holds. A locale with a territory we do not list falls
// back to its language's primary identifier (de_BE -> German, 0407).
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/host/registry.h"

namespace veldrane::host {

namespace {

struct LocaleId {
  const char* name;  // "de" (the language's primary identifier) or "de_at"
  uint16_t id;
};

// Language identifier = sublanguage << 10 | primary language.
constexpr LocaleId kLocaleIds[] = {
    {"ar", 0x0401},    {"ar_sa", 0x0401}, {"ar_eg", 0x0c01}, {"bg", 0x0402},    {"ca", 0x0403},
    {"zh", 0x0804},    {"zh_cn", 0x0804}, {"zh_tw", 0x0404}, {"zh_hk", 0x0c04}, {"zh_sg", 0x1004},
    {"cs", 0x0405},    {"da", 0x0406},    {"de", 0x0407},    {"de_de", 0x0407}, {"de_ch", 0x0807},
    {"de_at", 0x0c07}, {"de_lu", 0x1007}, {"de_li", 0x1407}, {"el", 0x0408},    {"en", 0x0409},
    {"en_us", 0x0409}, {"en_gb", 0x0809}, {"en_au", 0x0c09}, {"en_ca", 0x1009}, {"en_nz", 0x1409},
    {"en_ie", 0x1809}, {"en_za", 0x1c09}, {"en_in", 0x4009}, {"es", 0x0c0a},    {"es_es", 0x0c0a},
    {"es_mx", 0x080a}, {"es_gt", 0x100a}, {"es_cr", 0x140a}, {"es_pa", 0x180a}, {"es_do", 0x1c0a},
    {"es_ve", 0x200a}, {"es_co", 0x240a}, {"es_pe", 0x280a}, {"es_ar", 0x2c0a}, {"es_ec", 0x300a},
    {"es_cl", 0x340a}, {"es_uy", 0x380a}, {"es_py", 0x3c0a}, {"es_bo", 0x400a}, {"es_us", 0x540a},
    {"fi", 0x040b},    {"fr", 0x040c},    {"fr_fr", 0x040c}, {"fr_be", 0x080c}, {"fr_ca", 0x0c0c},
    {"fr_ch", 0x100c}, {"fr_lu", 0x140c}, {"he", 0x040d},    {"hu", 0x040e},    {"is", 0x040f},
    {"it", 0x0410},    {"it_it", 0x0410}, {"it_ch", 0x0810}, {"ja", 0x0411},    {"ko", 0x0412},
    {"nl", 0x0413},    {"nl_nl", 0x0413}, {"nl_be", 0x0813}, {"nb", 0x0414},    {"no", 0x0414},
    {"nn", 0x0814},    {"pl", 0x0415},    {"pt", 0x0416},    {"pt_br", 0x0416}, {"pt_pt", 0x0816},
    {"ro", 0x0418},    {"ru", 0x0419},    {"hr", 0x041a},    {"sk", 0x041b},    {"sq", 0x041c},
    {"sv", 0x041d},    {"sv_se", 0x041d}, {"sv_fi", 0x081d}, {"th", 0x041e},    {"tr", 0x041f},
    {"ur", 0x0420},    {"id", 0x0421},    {"uk", 0x0422},    {"be", 0x0423},    {"sl", 0x0424},
    {"et", 0x0425},    {"lv", 0x0426},    {"lt", 0x0427},    {"fa", 0x0429},    {"vi", 0x042a},
    {"hy", 0x042b},    {"eu", 0x042d},    {"mk", 0x042f},    {"af", 0x0436},    {"ka", 0x0437},
    {"hi", 0x0439},    {"ms", 0x043e},    {"kk", 0x043f},    {"sw", 0x0441},    {"gl", 0x0456},
    {"cy", 0x0452},    {"ga", 0x083c},    {"sr", 0x241a},    {"bs", 0x141a},
};

std::optional<uint16_t> Find(std::string_view name) {
  for (const auto& entry : kLocaleIds) {
    if (name == entry.name) return entry.id;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LanguageIdForLocale(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  std::string_view name = locale.substr(0, locale.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return std::nullopt;
  std::string folded = ToLowerAscii(name);
  for (char& c : folded) {
    if (c == '-') c = '_';  // "de-DE" as some tools write it
  }
  std::optional<uint16_t> id = Find(folded);
  if (!id) id = Find(std::string_view(folded).substr(0, folded.find('_')));
  if (!id) return std::nullopt;
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(*id));
  return std::string(buf);
}

}  // namespace veldrane::host
