// Writing ADO's persisted XML: the exact text ADO writes, built by hand
// because ADO's layout (single-quoted attributes, tab indentation, fixed
// attribute order) is part of what readers on the other side expect.
#include <cctype>
#include <set>

#include "core/oadate.h"
#include "platform/db/field_values.h"
#include "platform/db/persist_xml.h"
#include "platform/host/files.h"

namespace veldrane::ado {

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          // Line breaks and tabs would be folded to blanks by any XML reader.
          static const char* hex = "0123456789ABCDEF";
          out += "&#x";
          if (c >= 0x10) out += hex[(c >> 4) & 0xF];
          out += hex[c & 0xF];
          out += ';';
        } else {
          out += c;
        }
    }
  }
}

void Attr(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "='";
  AppendEscaped(out, value);
  out += '\'';
}

// A name ADO can write as an XML attribute name as it is.
bool IsXmlName(std::string_view name) {
  if (name.empty()) return false;
  auto start = [](unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; };
  if (!start(static_cast<unsigned char>(name[0]))) return false;
  for (unsigned char c : name) {
    if (!(start(c) || std::isdigit(c) || c == '-' || c == '.')) return false;
  }
  return !(name.size() >= 3 && (name[0] == 'x' || name[0] == 'X') && (name[1] == 'm' || name[1] == 'M') &&
           (name[2] == 'l' || name[2] == 'L'));
}

void AppendDataType(std::string& out, const ColumnInfo& c) {
  std::string p = std::to_string(c.precision);
  std::string s = std::to_string(c.scale);
  std::string n = std::to_string(c.defined_size);
  out += "\t\t\t<s:datatype";
  switch (c.type) {
    case adInteger: Attr(out, "dt:type", "int"); Attr(out, "dt:maxLength", "4"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adSmallInt: Attr(out, "dt:type", "i2"); Attr(out, "dt:maxLength", "2"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adTinyInt: Attr(out, "dt:type", "i1"); Attr(out, "dt:maxLength", "1"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adBigInt: Attr(out, "dt:type", "i8"); Attr(out, "dt:maxLength", "8"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adSingle: Attr(out, "dt:type", "r4"); Attr(out, "dt:maxLength", "4"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adDouble: Attr(out, "dt:type", "float"); Attr(out, "dt:maxLength", "8"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adCurrency: Attr(out, "dt:type", "number"); Attr(out, "rs:dbtype", "currency"); Attr(out, "dt:maxLength", "8"); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adDecimal: Attr(out, "dt:type", "number"); Attr(out, "rs:dbtype", "decimal"); Attr(out, "dt:maxLength", "16"); Attr(out, "rs:precision", p); Attr(out, "rs:scale", s); Attr(out, "rs:fixedlength", "true"); break;
    case adNumeric: Attr(out, "dt:type", "number"); Attr(out, "rs:dbtype", "numeric"); Attr(out, "dt:maxLength", "19"); Attr(out, "rs:precision", p); Attr(out, "rs:scale", s); Attr(out, "rs:fixedlength", "true"); break;
    case adBoolean: Attr(out, "dt:type", "boolean"); Attr(out, "dt:maxLength", "2"); Attr(out, "rs:fixedlength", "true"); break;
    case adDBTimeStamp: Attr(out, "dt:type", "dateTime"); Attr(out, "rs:dbtype", "timestamp"); Attr(out, "dt:maxLength", "16"); Attr(out, "rs:scale", s); Attr(out, "rs:precision", p); Attr(out, "rs:fixedlength", "true"); break;
    case adDate: Attr(out, "dt:type", "dateTime"); Attr(out, "rs:dbtype", "variantdate"); Attr(out, "dt:maxLength", "16"); Attr(out, "rs:fixedlength", "true"); break;
    case adDBDate: Attr(out, "dt:type", "date"); Attr(out, "dt:maxLength", "6"); Attr(out, "rs:fixedlength", "true"); break;
    case adDBTime: Attr(out, "dt:type", "time"); Attr(out, "dt:maxLength", "6"); Attr(out, "rs:fixedlength", "true"); break;
    case adChar: case adVarChar: case adLongVarChar:
      Attr(out, "dt:type", "string"); Attr(out, "rs:dbtype", "str"); Attr(out, "dt:maxLength", n); Attr(out, "rs:precision", p);
      if (c.type == adChar) Attr(out, "rs:fixedlength", "true");
      if (c.type == adLongVarChar || c.is_long) Attr(out, "rs:long", "true");
      break;
    case adBinary: case adVarBinary: case adLongVarBinary:
      Attr(out, "dt:type", "bin.hex"); Attr(out, "dt:maxLength", n);
      if (c.type == adBinary) Attr(out, "rs:fixedlength", "true");
      if (c.type == adLongVarBinary || c.is_long) Attr(out, "rs:long", "true");
      break;
    default:  // adWChar, adVarWChar, adLongVarWChar, adBSTR and values kept as text
      Attr(out, "dt:type", "string"); Attr(out, "dt:maxLength", n); Attr(out, "rs:precision", p);
      if (c.type == adWChar) Attr(out, "rs:fixedlength", "true");
      if (c.type == adLongVarWChar || c.is_long) Attr(out, "rs:long", "true");
      break;
  }
  if (!c.nullable) Attr(out, "rs:maybenull", "false");
  out += "/>\n";
}

std::string ValueText(const ColumnInfo& c, const Variant& v) {
  switch (c.type) {
    case adBoolean: return v.ToBool() ? "True" : "False";
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp: {
      std::string iso = FormatOaDateIso(v.ToDate());
      if (c.type == adDBDate) return iso.substr(0, 10);
      if (c.type == adDBTime) return iso.substr(11);
      return iso;
    }
    case adBinary: case adVarBinary: case adLongVarBinary: {
      static const char* hex = "0123456789abcdef";
      std::string bytes = VariantToBytes(v), out;
      for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 0xF];
      }
      return out;
    }
    default: break;
  }
  if (v.IsNumber()) return NumberText(v);
  if (v.IsBoolean()) return v.AsBool() ? "True" : "False";
  if (v.IsDate()) return FormatOaDateIso(v.AsDate());
  std::string text = v.ToString();
  if (c.fixed_length && (c.type == adChar || c.type == adWChar) && c.defined_size > 0) {
    size_t length = 0;
    for (unsigned char ch : text) length += (ch & 0xC0) != 0x80;
    if (length < static_cast<size_t>(c.defined_size)) text.append(static_cast<size_t>(c.defined_size) - length, ' ');
  }
  return text;
}

}  // namespace

namespace {

// The attribute name each column is written under: its own name when that
// is an XML name not taken by an earlier column (a query may give two
// columns one name, and a row cannot hold one attribute twice), else the
// alias "c<ordinal-1>" with the real name beside it.
std::vector<std::string> XmlNames(const std::vector<ColumnInfo>& columns) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string name = IsXmlName(columns[i].name) && !taken.count(columns[i].name) ? columns[i].name
                                                                                     : "c" + std::to_string(i);
    // An alias may itself be a later column's own name: that one then
    // takes an alias in turn.
    while (taken.count(name)) name = "c" + std::to_string(i) + "_" + std::to_string(taken.size());
    taken.insert(name);
    names.push_back(name);
  }
  return names;
}

void AppendRowLines(std::string& out, const std::vector<ColumnInfo>& columns, const std::vector<std::string>& xml_names,
                    const std::vector<const Variant*>& rows) {
  for (const auto* row : rows) {
    out += "\t<z:row";
    for (size_t i = 0; i < columns.size(); ++i) {
      const Variant& v = row[i];
      if (v.IsNull() || v.IsEmpty()) continue;  // Null is an absent attribute
      Attr(out, xml_names[i], ValueText(columns[i], v));
    }
    out += "/>\n";
  }
}

}  // namespace

std::string FormatPersisted(const std::vector<ColumnInfo>& columns, const std::vector<const Variant*>& rows,
                            bool updatable) {
  std::string out;
  out += "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n";
  out += "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n";
  out += "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n";
  out += "\txmlns:z='#RowsetSchema'>\n";
  out += "<s:Schema id='RowsetSchema'>\n";
  out += "\t<s:ElementType name='row' content='eltOnly'";
  if (updatable) Attr(out, "rs:updatable", "true");
  out += ">\n";
  std::vector<std::string> xml_names = XmlNames(columns);
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnInfo& c = columns[i];
    const std::string& xml_name = xml_names[i];
    out += "\t\t<s:AttributeType";
    Attr(out, "name", xml_name);
    if (xml_name != c.name) Attr(out, "rs:name", c.name);
    Attr(out, "rs:number", std::to_string(i + 1));
    if (c.nullable) Attr(out, "rs:nullable", "true");
    if (c.writable) Attr(out, "rs:write", "true");
    if (c.key) Attr(out, "rs:keycolumn", "true");
    if (c.autoincrement) Attr(out, "rs:autoincrement", "true");
    out += ">\n";
    AppendDataType(out, c);
    out += "\t\t</s:AttributeType>\n";
  }
  out += "\t\t<s:extends type='rs:rowbase'/>\n";
  out += "\t</s:ElementType>\n";
  out += "</s:Schema>\n";
  if (rows.empty()) {
    out += kEmptyDataEnd;
  } else {
    out += "<rs:data>\n";
    AppendRowLines(out, columns, xml_names, rows);
    out += kDataEnd;
  }
  return out;
}

std::string FormatPersistedRows(const std::vector<ColumnInfo>& columns, const std::vector<const Variant*>& rows) {
  std::string out;
  AppendRowLines(out, columns, XmlNames(columns), rows);
  return out;
}

void ReplaceFileAtomically(const std::string& path, const std::string& content) {
  try {
    host::ReplaceFileAtomically(path, content);
  } catch (const VbError& e) {
    throw VbError(vberr::kFileNotOpened, "File could not be opened. (" + e.description() + ")", "MSPersist");
  }
}

}  // namespace veldrane::ado
