#include "vbscript/script_constants.h"

#include <unordered_map>

#include "core/text.h"

namespace veldrane::vbs {

namespace {

Variant I(int v) { return Variant(static_cast<int16_t>(v)); }
Variant L(int32_t v) { return Variant(v); }

const std::unordered_map<std::string, Variant>& Table() {
  static const std::unordered_map<std::string, Variant> table = [] {
    std::unordered_map<std::string, Variant> t = {
        // Strings
        {"vbcr", Variant("\r")}, {"vblf", Variant("\n")}, {"vbcrlf", Variant("\r\n")},
        {"vbnewline", Variant("\r\n")}, {"vbtab", Variant("\t")}, {"vbnullstring", Variant("")},
        {"vbnullchar", Variant(std::string(1, '\0'))}, {"vbformfeed", Variant("\f")},
        {"vbverticaltab", Variant("\v")}, {"vbback", Variant("\b")},
        // Booleans and tristate
        {"vbtrue", I(-1)}, {"vbfalse", I(0)}, {"vbusedefault", I(-2)},
        // Comparison
        {"vbbinarycompare", I(0)}, {"vbtextcompare", I(1)}, {"vbdatabasecompare", I(2)},
        // VarType
        {"vbempty", I(0)}, {"vbnull", I(1)}, {"vbinteger", I(2)}, {"vblong", I(3)}, {"vbsingle", I(4)},
        {"vbdouble", I(5)}, {"vbcurrency", I(6)}, {"vbdate", I(7)}, {"vbstring", I(8)}, {"vbobject", I(9)},
        {"vberror", I(10)}, {"vbboolean", I(11)}, {"vbvariant", I(12)}, {"vbdataobject", I(13)},
        {"vbdecimal", I(14)}, {"vbbyte", I(17)}, {"vbarray", I(8192)},
        // Dates
        {"vbsunday", I(1)}, {"vbmonday", I(2)}, {"vbtuesday", I(3)}, {"vbwednesday", I(4)},
        {"vbthursday", I(5)}, {"vbfriday", I(6)}, {"vbsaturday", I(7)}, {"vbusesystemdayofweek", I(0)},
        {"vbusesystem", I(0)}, {"vbfirstjan1", I(1)}, {"vbfirstfourdays", I(2)}, {"vbfirstfullweek", I(3)},
        {"vbgeneraldate", I(0)}, {"vblongdate", I(1)}, {"vbshortdate", I(2)}, {"vblongtime", I(3)},
        {"vbshorttime", I(4)},
        // Colours
        {"vbblack", L(0)}, {"vbred", L(255)}, {"vbgreen", L(65280)}, {"vbyellow", L(65535)},
        {"vbblue", L(16711680)}, {"vbmagenta", L(16711935)}, {"vbcyan", L(16776960)}, {"vbwhite", L(16777215)},
        // Message boxes
        {"vbokonly", I(0)}, {"vbokcancel", I(1)}, {"vbabortretryignore", I(2)}, {"vbyesnocancel", I(3)},
        {"vbyesno", I(4)}, {"vbretrycancel", I(5)}, {"vbcritical", I(16)}, {"vbquestion", I(32)},
        {"vbexclamation", I(48)}, {"vbinformation", I(64)}, {"vbdefaultbutton1", I(0)},
        {"vbdefaultbutton2", I(256)}, {"vbdefaultbutton3", I(512)}, {"vbdefaultbutton4", I(768)},
        {"vbapplicationmodal", I(0)}, {"vbsystemmodal", I(4096)}, {"vbok", I(1)}, {"vbcancel", I(2)},
        {"vbabort", I(3)}, {"vbretry", I(4)}, {"vbignore", I(5)}, {"vbyes", I(6)}, {"vbno", I(7)},
        {"vbmsgboxhelpbutton", I(16384)}, {"vbmsgboxsetforeground", L(65536)}, {"vbmsgboxright", L(524288)},
        {"vbmsgboxrtlreading", L(1048576)},
        // Errors
        {"vbobjecterror", L(-2147221504)},
    };
    return t;
  }();
  return table;
}

}  // namespace

std::optional<Variant> BuiltinConstant(std::string_view name) {
  if (name.size() < 4 || (name[0] != 'v' && name[0] != 'V')) return std::nullopt;
  const auto& table = Table();
  auto it = table.find(ToLowerAscii(name));
  if (it == table.end()) return std::nullopt;
  return it->second;
}

}  // namespace veldrane::vbs
