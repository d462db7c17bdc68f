// Reading ADO's persisted XML. Elements are matched by namespace URI, not by
// prefix, since writers may choose other prefixes. Both schema layouts are
// read: attribute types inside the row's ElementType, or (older) beside it
// with <s:attribute type='x'/> references inside.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <optional>
#include <cstring>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <sstream>

#include "core/oadate.h"
#include "core/text.h"
#include "platform/db/field_values.h"
#include "platform/db/persist_xml.h"

namespace veldrane::ado {

namespace {

constexpr std::string_view kSchemaNs = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr std::string_view kDataTypeNs = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
constexpr std::string_view kRowsetNs = "urn:schemas-microsoft-com:rowset";
constexpr std::string_view kRowNs = "#RowsetSchema";
constexpr int32_t kWidestFixedLength = 8000;

struct Damaged {
  std::string name;
  [[noreturn]] void operator()(const std::string& what) const {
    throw VbError(adoerr::kProviderFailure,
                  "Recordset cannot be created from '" + name + "': the file is not a valid persisted recordset (" +
                      what + ")",
                  "MSPersist");
  }
};

// The namespace URI bound to `prefix` at `node` (empty prefix: the default namespace).
std::string_view NamespaceOf(pugi::xml_node node, std::string_view prefix) {
  std::string attr = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
  for (pugi::xml_node n = node; n; n = n.parent()) {
    if (n.type() != pugi::node_element) continue;
    if (pugi::xml_attribute a = n.attribute(attr.c_str())) return a.value();
  }
  return {};
}

// True when `node` is the element `local` of namespace `ns`.
bool Is(pugi::xml_node node, std::string_view ns, std::string_view local) {
  if (node.type() != pugi::node_element) return false;
  std::string_view name = node.name();
  size_t colon = name.find(':');
  std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
  std::string_view own = colon == std::string_view::npos ? name : name.substr(colon + 1);
  return own == local && NamespaceOf(node, prefix) == ns;
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view ns, std::string_view local) {
  for (pugi::xml_node c : parent.children()) {
    if (Is(c, ns, local)) return c;
  }
  return {};
}

// The attribute `local` of namespace `ns` on `node` (unprefixed attributes have no namespace).
pugi::xml_attribute AttrNs(pugi::xml_node node, std::string_view ns, std::string_view local) {
  for (pugi::xml_attribute a : node.attributes()) {
    std::string_view name = a.name();
    size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
      if (ns.empty() && name == local) return a;
      continue;
    }
    if (name.substr(colon + 1) == local && NamespaceOf(node, name.substr(0, colon)) == ns) return a;
  }
  return {};
}

bool Flag(pugi::xml_node node, std::string_view local) {
  pugi::xml_attribute a = AttrNs(node, kRowsetNs, local);
  return a && (IEquals(a.value(), "true") || std::strcmp(a.value(), "1") == 0);
}

// The datatype attributes may sit on s:datatype or on the AttributeType itself.
std::string DataAttr(pugi::xml_node type, pugi::xml_node datatype, std::string_view ns, std::string_view local) {
  if (datatype) {
    if (pugi::xml_attribute a = AttrNs(datatype, ns, local)) return a.value();
  }
  if (pugi::xml_attribute a = AttrNs(type, ns, local)) return a.value();
  return {};
}

int32_t ToInt(const std::string& text) {
  int32_t v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

ColumnInfo ReadColumn(pugi::xml_node type) {
  ColumnInfo c;
  pugi::xml_node datatype = Child(type, kSchemaNs, "datatype");
  c.xml_name = type.attribute("name").value();
  pugi::xml_attribute real = AttrNs(type, kRowsetNs, "name");
  c.name = real ? real.value() : c.xml_name;
  c.nullable = Flag(type, "nullable") || Flag(type, "maydefer");
  c.writable = Flag(type, "write") || Flag(type, "writeunknown");
  c.key = Flag(type, "keycolumn");
  c.autoincrement = Flag(type, "autoincrement");
  std::string dt = ToLowerAscii(DataAttr(type, datatype, kDataTypeNs, "type"));
  std::string dbtype = ToLowerAscii(DataAttr(type, datatype, kRowsetNs, "dbtype"));
  c.defined_size = ToInt(DataAttr(type, datatype, kDataTypeNs, "maxLength"));
  c.precision = ToInt(DataAttr(type, datatype, kRowsetNs, "precision"));
  c.scale = ToInt(DataAttr(type, datatype, kRowsetNs, "scale"));
  c.fixed_length = IEquals(DataAttr(type, datatype, kRowsetNs, "fixedlength"), "true");
  // No fixed-length type is wider than this; a file claiming more would have
  // every value written back padded with up to two billion blanks.
  if (c.defined_size > kWidestFixedLength) c.fixed_length = false;
  c.is_long = IEquals(DataAttr(type, datatype, kRowsetNs, "long"), "true");
  std::string maybenull = DataAttr(type, datatype, kRowsetNs, "maybenull");
  if (!maybenull.empty()) c.nullable = !IEquals(maybenull, "false");
  if (dt == "int" || dt == "i4") c.type = adInteger;
  else if (dt == "i2" || dt == "ui2") c.type = adSmallInt;
  else if (dt == "i1" || dt == "ui1") c.type = adTinyInt;
  else if (dt == "i8" || dt == "ui8" || dt == "ui4") c.type = adBigInt;
  else if (dt == "r4") c.type = adSingle;
  else if (dt == "float" || dt == "r8") c.type = adDouble;
  else if (dt == "number" || dt == "fixed.14.4") {
    c.type = dbtype == "currency" || dt == "fixed.14.4" ? adCurrency : dbtype == "decimal" ? adDecimal : adNumeric;
  } else if (dt == "boolean") c.type = adBoolean;
  else if (dt == "datetime" || dt == "datetime.tz") c.type = dbtype == "variantdate" ? adDate : adDBTimeStamp;
  else if (dt == "date") c.type = adDBDate;
  else if (dt == "time" || dt == "time.tz") c.type = adDBTime;
  else if (dt == "bin.hex" || dt == "bin.base64") c.type = c.is_long ? adLongVarBinary : c.fixed_length ? adBinary : adVarBinary;
  else if (dbtype == "str") c.type = c.is_long ? adLongVarChar : c.fixed_length ? adChar : adVarChar;
  else c.type = c.is_long ? adLongVarWChar : c.fixed_length ? adWChar : adVarWChar;
  return c;
}

bool FromHex(std::string_view text, std::string& out) {
  if (text.size() % 2) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    auto r = std::from_chars(text.data() + i, text.data() + i + 2, v, 16);
    if (r.ec != std::errc() || r.ptr != text.data() + i + 2) return false;
    out.push_back(static_cast<char>(v));
  }
  return true;
}

// The value of one attribute as its column's type reads it; nullopt when it cannot.
std::optional<Variant> ReadValue(const ColumnInfo& c, std::string_view text) {
  switch (c.type) {
    case adInteger: case adSmallInt: case adTinyInt: case adBigInt: {
      int64_t v = 0;
      auto r = std::from_chars(text.data(), text.data() + text.size(), v);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
      if (c.type == adInteger && v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant::FromInt64(v);
    }
    case adSingle: case adDouble: {
      double d = 0;
      auto r = std::from_chars(text.data(), text.data() + text.size(), d);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
      return Variant(d);
    }
    case adCurrency: case adDecimal: case adNumeric: {
      Variant v = DecimalFromText(text);
      if (v.IsString()) return std::nullopt;
      if (c.type == adCurrency && !(v.Type() == VarType::Currency)) return Variant(Currency::FromDouble(v.ToDouble()));
      return v;
    }
    case adBoolean:
      if (IEquals(text, "true") || text == "1" || text == "-1") return Variant(true);
      if (IEquals(text, "false") || text == "0") return Variant(false);
      return std::nullopt;
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp: {
      auto d = ParseOaDate(text);
      if (!d) return std::nullopt;
      return Variant::Date(*d);
    }
    case adBinary: case adVarBinary: case adLongVarBinary: {
      std::string bytes;
      if (!FromHex(text, bytes)) return std::nullopt;
      return BytesToVariant(bytes.data(), bytes.size());
    }
    default: return Variant(text);
  }
}

// Appends `row`; with `base`, attributes absent from `row` keep the base's
// values. A value its column cannot read leaves the row out (noted in the
// table): one damaged value must not hide every other row of the file.
// False when the row was left out.
bool ReadRow(pugi::xml_node row, const std::vector<ColumnInfo>& columns, PersistedTable& table,
             const std::vector<Variant>* base = nullptr) {
  std::vector<Variant> values;
  values.reserve(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnInfo& c = columns[i];
    pugi::xml_attribute a = row.attribute(c.xml_name.c_str());
    if (!a) {
      values.push_back(base ? (*base)[i] : Variant::Null());
      continue;
    }
    auto v = ReadValue(c, a.value());
    if (!v) {
      size_t number = table.rows.size() + table.unreadable_rows.size() + 1;
      table.unreadable_rows.push_back("row " + std::to_string(number) + ", field '" + c.name + "' (" +
                                      DataTypeName(c.type) + ") holds '" + a.value() + "'");
      return false;
    }
    values.push_back(std::move(*v));
  }
  table.rows.push_back(std::move(values));
  return true;
}

}  // namespace

PersistedTable ParsePersisted(std::string_view xml, const std::string& name) {
  Damaged damaged{name};
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) damaged(std::string(parsed.description()) + " at byte " + std::to_string(parsed.offset));
  pugi::xml_node root = doc.document_element();
  pugi::xml_node schema = Child(root, kSchemaNs, "Schema");
  if (!schema) damaged("no s:Schema element");
  pugi::xml_node element_type = Child(schema, kSchemaNs, "ElementType");
  if (!element_type) damaged("no s:ElementType element");
  PersistedTable table;
  table.updatable = Flag(element_type, "updatable");

  std::vector<pugi::xml_node> types;
  for (pugi::xml_node c : element_type.children()) {
    if (Is(c, kSchemaNs, "AttributeType")) types.push_back(c);
  }
  if (types.empty()) {
    // Older layout: the types follow the ElementType, which references them in order.
    std::map<std::string, pugi::xml_node> by_name;
    for (pugi::xml_node c : schema.children()) {
      if (Is(c, kSchemaNs, "AttributeType")) by_name[c.attribute("name").value()] = c;
    }
    for (pugi::xml_node ref : element_type.children()) {
      if (!Is(ref, kSchemaNs, "attribute")) continue;
      auto it = by_name.find(ref.attribute("type").value());
      if (it == by_name.end()) damaged(std::string("s:attribute refers to an undefined type '") + ref.attribute("type").value() + "'");
      types.push_back(it->second);
    }
  }
  std::vector<std::pair<int32_t, ColumnInfo>> numbered;
  for (size_t i = 0; i < types.size(); ++i) {
    pugi::xml_attribute number = AttrNs(types[i], kRowsetNs, "number");
    int32_t n = number ? number.as_int() : static_cast<int32_t>(i + 1);
    ColumnInfo c = ReadColumn(types[i]);
    if (c.xml_name.empty()) damaged("an s:AttributeType without a name");
    numbered.emplace_back(n, std::move(c));
  }
  std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [n, c] : numbered) table.columns.push_back(std::move(c));

  pugi::xml_node data = Child(root, kRowsetNs, "data");
  if (!data) damaged("no rs:data element");
  for (pugi::xml_node c : data.children()) {
    if (Is(c, kRowNs, "row")) {
      ReadRow(c, table.columns, table);
    } else if (Is(c, kRowsetNs, "insert")) {
      for (pugi::xml_node r : c.children()) {
        if (Is(r, kRowNs, "row")) ReadRow(r, table.columns, table);
      }
    } else if (Is(c, kRowsetNs, "update")) {
      // rs:original holds the row before the change; the z:row beside it
      // holds the changed values only.
      std::optional<std::vector<Variant>> original;
      if (pugi::xml_node o = Child(c, kRowsetNs, "original")) {
        if (pugi::xml_node r = Child(o, kRowNs, "row"); r && ReadRow(r, table.columns, table)) {
          original = std::move(table.rows.back());
          table.rows.pop_back();
        }
      }
      pugi::xml_node changed = Child(c, kRowNs, "row");
      if (changed) {
        ReadRow(changed, table.columns, table, original ? &*original : nullptr);
      } else if (original) {
        table.rows.push_back(std::move(*original));
      }
    }
    // rs:delete holds rows deleted before the save: they are not part of the table.
  }
  return table;
}

PersistedTable ReadPersistedFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw VbError(vberr::kFileNotOpened, "File could not be opened. ('" + path + "': " + std::strerror(errno) + ")",
                  "MSPersist");
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) throw VbError(vberr::kFileNotOpened, "File could not be opened. ('" + path + "': read error)", "MSPersist");
  return ParsePersisted(buffer.str(), path);
}

}  // namespace veldrane::ado
