// The ADO-shaped data access layer: Connection, Recordset, Fields, Field,
// Errors and Error with ADO's member names and constant values, over three
// providers chosen by the connection string's Provider= key:
//   SQLite      "Provider=SQLite;Data Source=<file>" (the default when no
//               Provider= is given; also serves "Microsoft.Jet.OLEDB.4.0",
//               whose password keys are accepted and ignored). A missing file
//               is an error unless the string says "Mode=Create" ("Mode=Read"
//               opens read-only).
//   PostgreSQL  "Provider=PostgreSQL;Host=..;Port=..;Database=..;User ID=..;
//               Password=.." (Server, Initial Catalog are synonyms) or
//               "Provider=PostgreSQL;Data Source=<libpq conninfo or URI>".
//   MSPersist   persisted XML recordset files (Recordset.Open of a path).
// Any other provider fails with 3706 naming it; Provider() still reads it.
//
// Recordsets read all their rows into memory. One opened with a lock type
// other than read-only on `SELECT ... FROM <one table>` (or on a table name)
// writes every change straight back through that table, keyed by its primary
// key, else SQLite's rowid or PostgreSQL's ctid. RecordCount is always the
// number of rows held (also for forward-only cursors).
//
// Values: SQLite stores dates as text in the platform's fixed format (a
// midnight as "yyyy-mm-dd", else "yyyy-mm-dd hh:nn:ss": the text a key built
// from a date carries) and reads DATE/DATETIME/TIMESTAMP/TIME columns back
// as Dates. Decimal and numeric columns read back as Double when that holds
// the digits exactly, else as Currency when four decimals suffice, else as
// the nearest Double. Binary columns are Byte arrays.
//
// Transactions nest: levels beyond the first are savepoints. On PostgreSQL a
// statement inside a transaction runs under its own savepoint, so that one
// failing statement does not abort the whole transaction.
//
// Every failure raises VbError. Provider failures carry the database's own
// message and the provider's number (-2147217900 command error, -2147217873
// integrity violation, -2147467259 connection failure) and are also placed in
// the connection's Errors (PostgreSQL WARNING notices are added there too,
// with number 0, without failing); the layer's own failures use ADO's
// numbers (3001, 3002, 3021, 3219, 3251, 3265, 3704, 3705, 3706, 3709);
// those a Connection raises are placed in its Errors too, those of a
// Recordset's own rules (3021, 3251, 3265, ...) are not, as with ADO.
//
// All classes are script objects: members by name, case-insensitive, with
// ADO's default members (Recordset -> Fields.Item, Fields -> Item,
// Field -> Value, Errors -> Item, Error -> Description).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/variant.h"
#include "core/vb_error.h"

namespace veldrane::ado {

enum CursorTypeEnum : int32_t {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3,
};

enum LockTypeEnum : int32_t {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4,
};

enum CursorLocationEnum : int32_t {
  adUseServer = 2,
  adUseClient = 3,
};

enum ObjectStateEnum : int32_t {
  adStateClosed = 0,
  adStateOpen = 1,
};

enum EditModeEnum : int32_t {
  adEditNone = 0,
  adEditInProgress = 1,
  adEditAdd = 2,
  adEditDelete = 4,
};

enum DataTypeEnum : int32_t {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adBoolean = 11,
  adVariant = 12,
  adDecimal = 14,
  adTinyInt = 16,
  adBigInt = 20,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

enum PersistFormatEnum : int32_t {
  adPersistADTG = 0,
  adPersistXML = 1,
};

enum AffectEnum : int32_t {
  adAffectCurrent = 1,
};

enum FieldAttributeEnum : int32_t {
  adFldUnspecified = -1,
};

enum CommandTypeEnum : int32_t {
  adCmdUnspecified = -1,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdUnknown = 8,
  adCmdFile = 256,
  adCmdTableDirect = 512,
};

enum ExecuteOptionEnum : int32_t {
  adExecuteNoRecords = 128,
};

// Provider numbers beyond core's vberr list.
namespace adoerr {
inline constexpr int32_t kProviderFailure = -2147467259;       // E_FAIL: connection and file content failures
inline constexpr int32_t kBadConnectionString = -2147217805;   // malformed initialization string
inline constexpr int32_t kRowNotFound = -2147217864;           // row changed or deleted since it was read
inline constexpr int32_t kTypeMismatch = -2147352571;          // a value the field's type cannot take
inline constexpr int32_t kNoTransaction = -2147168242;         // commit or rollback with no transaction
}  // namespace adoerr

class Connection;
class Recordset;
class ProviderSession;
class RowStream;
struct RecordsetState;
struct Rowset;
struct TargetSelect;
using ConnectionRef = std::shared_ptr<Connection>;
using RecordsetRef = std::shared_ptr<Recordset>;

// One provider error or warning.
class Error : public Object {
 public:
  Error(int32_t number, std::string description, std::string source, std::string sql_state = {});
  // The error number (provider or ADO number).
  int32_t Number() const { return number_; }
  // The provider's own message.
  std::string Description() const { return description_; }
  // The provider that reported it ("SQLite", "PostgreSQL", "MSPersist", "ADODB").
  std::string Source() const { return source_; }
  // The five-character SQLSTATE when the provider gives one, else empty.
  std::string SQLState() const { return sql_state_; }

  std::string TypeName() const override { return "Error"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
  std::string sql_state_;
};

// The provider errors and warnings of the last failing operation.
class Errors : public Object {
 public:
  // Number of entries.
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Entry at 0-based `index0`; raises 3265 when out of range.
  const Error& Item(int32_t index0) const;
  // Empties the list.
  void Clear() { items_.clear(); }
  // Appends an entry (warnings) / replaces the list by one failure.
  void Add(const VbError& error, std::string sql_state = {});
  void Replace(const VbError& error, std::string sql_state = {});

  std::string TypeName() const override { return "Errors"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  std::vector<Variant> Enumerate() override;

 private:
  std::vector<std::shared_ptr<Error>> items_;
};

// One column of a recordset; its Value is that of the current row.
class Field : public Object {
 public:
  Field(std::shared_ptr<RecordsetState> state, int32_t index);
  // The column name.
  std::string Name() const;
  // The DataTypeEnum value.
  int32_t Type() const;
  // Width in characters or bytes (fixed types: their size in bytes).
  int32_t DefinedSize() const;
  int32_t Precision() const;
  int32_t NumericScale() const;
  // The value in the current row (or the pending edit); raises 3021 with no
  // current row and 3704 when the recordset is closed.
  Variant Value() const;
  // Assigns through the pending edit, converting to the field's type; starts
  // an edit (EditMode 1) on an unchanged row. Raises 3021 with no current
  // row, 3251 on a read-only recordset, -2147352571 naming the field when
  // the value does not fit its type.
  void SetValue(const Variant& value);

  std::string TypeName() const override { return "Field"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  std::shared_ptr<RecordsetState> state_;
  int32_t index_;
};

// The columns of a recordset.
class Fields : public Object {
 public:
  explicit Fields(std::shared_ptr<RecordsetState> state);
  // Number of columns.
  int32_t Count() const;
  // By name (case-insensitive) or 0-based number; raises 3265 when absent.
  Field& Item(const Variant& name_or_index0);
  Field& Item(std::string_view name);
  Field& Item(const char* name) { return Item(std::string_view(name)); }
  Field& Item(const std::string& name) { return Item(std::string_view(name)); }
  // Adds a column to a closed recordset (raises 3705 when open, 3001 for an
  // unknown type or a duplicate name); `attributes` -1 lets it hold Null.
  void Append(std::string_view name, int32_t type, int32_t defined_size = 0, int32_t attributes = -1);

  std::string TypeName() const override { return "Fields"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  std::vector<Variant> Enumerate() override;

  // Rebuilds the Field objects after the recordset's columns changed.
  void Refresh();
  // True when no Field object of these columns is held outside them.
  bool Unshared() const;

 private:
  Field& At(int32_t index);  // index checked by the caller

  std::shared_ptr<RecordsetState> state_;
  std::vector<std::shared_ptr<Field>> items_;  // by position; made on first use
  // Names looked up and the column found, for the columns of one version.
  static constexpr size_t kFoundLimit = 64;
  std::vector<std::pair<std::string, int32_t>> found_;
  uint64_t found_version_ = 0;
};

class Recordset : public Object {
 public:
  static RecordsetRef Create();
  Recordset();
  ~Recordset() override;

  // Opens rows. `source`: SQL, a table name, or a persisted file path.
  // `active_connection`: a Connection object, a connection string (a new
  // connection is opened for it), or empty. Empty connection with a path:
  // the persisted file. Both empty after Fields.Append: an empty client-side
  // table. Raises 3705 when already open.
  void Open(const Variant& source = {}, const Variant& active_connection = {}, int32_t cursor_type = -1,
            int32_t lock_type = -1, int32_t options = -1);
  // Opens a TARGET step's rows on `connection`: what Open(select->Text(),
  // connection, adOpenKeyset, adLockOptimistic) gives, with the key values
  // bound rather than written into the text. Source builds the text when
  // asked. Raises 3705 when already open.
  void OpenTarget(std::shared_ptr<const TargetSelect> select, const ConnectionRef& connection);
  // The select the rows were opened with by OpenTarget; null otherwise.
  const TargetSelect* OpenedTarget() const;
  // Closes; a pending edit is discarded. Raises 3704 when closed.
  void Close();
  int32_t State() const;
  // True when the position is after the last row (script name EOF).
  bool IsEOF() const;
  // True when the position is before the first row (script name BOF).
  bool IsBOF() const;

  // Moves; a pending edit is saved first, as ADO does. Deleted rows are
  // skipped. MoveNext at EOF and MovePrevious at BOF raise 3021.
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();

  // Rows held, not counting deleted ones.
  int32_t RecordCount() const;
  // Starts a new row (EditMode 2), saving a pending edit first.
  void AddNew();
  // Saves the pending edit (insert or update); on failure the edit stays
  // pending and the database is unchanged.
  void Update();
  // Discards the pending edit.
  void CancelUpdate();
  // Deletes the current row now (EditMode 4 until the next move).
  void Delete(int32_t affect = adAffectCurrent);
  // 0, 1, 2 or 4; raises 3021 with no current row.
  int32_t EditMode() const;

  // The columns (script name Fields).
  Fields& GetFields();

  // Writes the rows in the persisted XML format (format 1) to `destination`,
  // or to the file the recordset came from when empty; the file is replaced
  // atomically. Format 0 raises 3001.
  void Save(std::string_view destination = {}, int32_t persist_format = adPersistXML);

  // Internal: adds the rows of this recordset at the end of the persisted
  // file `path` without reading or rewriting the rows it holds, when the
  // file has this recordset's columns and ends as Save ends a file; false,
  // with nothing written, when it does not. Crash-safe (journaled); the
  // caller serialises writers of the file. Raises 3002 naming the file.
  bool SaveAppending(const std::string& path);

  int32_t CursorLocation() const;
  void SetCursorLocation(int32_t location);  // 2 or 3, else 3001
  int32_t CursorType() const;
  int32_t LockType() const;
  // The source text (SQL or path) given to Open.
  std::string Source() const;
  // True when nothing outside this object reaches its rows (no Fields or
  // Field object handed out is still held): closing and opening it again
  // then changes nothing anybody else sees.
  bool Unshared() const;

  // Internal: drops the rows held and a pending edit, keeping the columns,
  // as an opening of a query that selects no row would leave the recordset.
  // Nothing changes in the database. False (nothing done) for rows that are
  // not a database query's, or are read row by row.
  bool DiscardRows();
  // Internal: the rows of a persisted file that were left out when it was
  // opened because a value could not be read, one description each.
  const std::vector<std::string>& UnreadableRows() const;
  // Internal: makes this recordset hold rows a connection has read.
  void AdoptRows(Rowset rows, ConnectionRef connection, int32_t cursor_type, int32_t lock_type, std::string source);

  std::string TypeName() const override { return "Recordset"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  void OpenPersisted(const std::string& path, int32_t lock_type);
  void OpenClientTable(int32_t lock_type);
  void OpenFromConnection(const std::string& source, const ConnectionRef& connection, int32_t cursor_type,
                          int32_t lock_type, int32_t options);
  void AdoptStream(std::unique_ptr<RowStream> stream, ConnectionRef connection);
  void NextStreamed();  // the stream's next row becomes the current one (none: EOF)
  void RequireOpen() const;
  void SavePendingBeforeMove();

  std::shared_ptr<RecordsetState> state_;
  std::shared_ptr<Fields> fields_;
};

class Connection : public Object {
 public:
  static ConnectionRef Create();
  Connection();
  ~Connection() override;

  // Opens with `connection_string` (empty: ConnectionString()); user and
  // password, when given, override the string's. Raises 3705 when open,
  // 3706 for an unknown provider, the provider's failure otherwise.
  void Open(std::string_view connection_string = {}, std::string_view user = {}, std::string_view password = {},
            int32_t options = -1);
  // Closes; raises 3704 when closed. An open transaction is rolled back.
  void Close();
  int32_t State() const;
  std::string ConnectionString() const;
  // Raises 3705 when open.
  void SetConnectionString(std::string connection_string);
  int32_t CursorLocation() const;
  void SetCursorLocation(int32_t location);  // 2 or 3, else 3001
  // The Provider= name as written in the string ("SQLite" when absent).
  std::string Provider() const;
  // The provider errors of the last failure (script name Errors).
  Errors& GetErrors();

  // Runs a statement or query (several statements separated by ";" run in
  // order). Returns an open recordset with the rows of the last statement
  // that returns rows, else a closed one. Raises 3704 when closed.
  RecordsetRef Execute(std::string_view sql, int32_t options = -1);

  // Begins a transaction and returns its nesting level (nested levels are
  // savepoints). Raises 3704 when closed.
  int32_t BeginTrans();
  // Commit or roll back the innermost level; with none open, -2147168242.
  void CommitTrans();
  void RollbackTrans();

  std::string TypeName() const override { return "Connection"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

  // Internal: true while a transaction begun through this connection is
  // still open in the database. When the database ended it on its own (a
  // refused commit, a statement that rolls the transaction back, a full
  // disk), the nesting is forgotten, so that the next BeginTrans starts
  // afresh, and false is returned. False when closed.
  bool InTransaction();
  // Internal: what names the database this connection reaches (a SQLite
  // file by device and inode, a server by its connection string); two open
  // connections with the same non-empty identity reach one database.
  std::string DatabaseIdentity() const;
  // Internal: the open provider session, for recordsets of this connection;
  // raises 3704 when closed.
  ProviderSession& session();
  // Internal: records a failure in Errors and returns it for throwing.
  VbError Fail(const VbError& error, std::string sql_state = {});

 private:
  void RequireOpen() const;

  std::string connection_string_;
  std::string provider_;                   // Provider() of connection_string_
  bool open_ = false;                      // MSPersist connections are open without a session
  int32_t transaction_level_ = 0;          // BeginTrans nesting
  int32_t cursor_location_ = adUseServer;
  std::shared_ptr<Errors> errors_;
  std::unique_ptr<ProviderSession> session_;
};

}  // namespace veldrane::ado
