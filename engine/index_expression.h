// Key and FOR expressions of index tags, as index files store them: parsed
// once against a table's fields, then evaluated on record bytes
// (index_keys.h) without a table being open.
//
// The subset the engine evaluates exactly as the xBase runtimes do:
//   field names (any case; a name longer than 10 characters, as a Visual
//   FoxPro database names fields, is matched by its first 10, the part the
//   table keeps), an "alias->" prefix is ignored;
//   "text", 'text', [text], numbers, .T. and .F.;
//   a + b  (text joined, or numbers added, or days added to a date),
//   a - b  (text joined with a's trailing blanks moved to the end, or
//           numbers subtracted);
//   UPPER LOWER ALLTRIM LTRIM RTRIM TRIM STR(n[,len[,dec]]) DTOS LEFT
//   SUBSTR DELETED();
//   in FOR conditions = == <> # != < <= > >= .AND. .OR. .NOT. ! and
//   parentheses.
// Anything else parses to an expression that is not supported, with the
// reason in words ("function IIF is not supported").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf_table.h"

namespace tabulon {

enum class IndexValueType : uint8_t {
  Character,
  Numeric,
  // A Visual FoxPro Integer field alone: FoxPro keys it in 4 bytes.
  Integer,
  Date,
  DateTime,
  Logical,
};

// What an expression needs of its table: the field descriptors (as
// DbfTable::GetField gives them, FieldPosition the offset in the record),
// the version byte (which layouts binary fields follow) and the code page
// (which bytes UPPER and LOWER change besides the ASCII letters).
struct IndexTableShape {
  std::vector<DbfField> Fields;  // field n at [n - 1]
  uint8_t Version = 0x03;
  DbfCodePage CodePage = DbfCodePage::Unknown;
};
IndexTableShape IndexTableShapeOf(const DbfTable& table);

enum class IndexOp : uint8_t {
  Field,
  Text,
  Number,
  Logic,
  Concat,
  ConcatTrimmed,
  Add,
  Subtract,
  Upper,
  Lower,
  AllTrim,
  LTrim,
  RTrim,
  Str,
  Dtos,
  Left,
  Substr,
  Deleted,
  Equal,
  ExactEqual,
  NotEqual,
  Less,
  LessEqual,
  Greater,
  GreaterEqual,
  And,
  Or,
  Not,
};

// One node of a parsed expression; arguments are indexes of other nodes.
struct ExpressionNode {
  IndexOp Op = IndexOp::Text;
  IndexValueType Type = IndexValueType::Character;
  int Length = 0;    // characters of a Character result (its widest)
  int Decimals = 0;  // of a Numeric result
  int Args[3] = {-1, -1, -1};
  int Field = -1;     // Field: index into the expression's fields
  std::string Text;   // Text literal
  double Number = 0;  // Number literal; Logic literal as 0 or 1
};

// A field an expression reads, with what decoding it needs.
struct IndexFieldUse {
  int Number = 0;  // 1-based, in the table
  uint8_t Type = 'C';
  DbfValueLayout Layout = DbfValueLayout::Text;
  uint32_t Offset = 0;
  uint16_t Length = 0;
  uint8_t Decimals = 0;
  int NullBit = -1;  // bit of _NullFlags marking it null; -1: not nullable
};

// Why an expression is not supported, for callers that word it themselves.
enum class IndexProblem : uint8_t {
  None,
  Unreadable,  // empty, cut short, or not xBase (subject: the text there)
  Operator,    // an operator the engine does not evaluate ("$", "*")
  Types,       // an operator or function given values it does not take
  Function,    // a function the engine does not evaluate
  Arguments,   // a function's arguments: their count, or widths not literal
  Field,       // no such field
  FieldType,   // a field of a type keys are not made of here (memo, ...)
};

class IndexExpression {
 public:
  const std::string& GetText() const { return text_; }
  bool IsSupported() const { return reason_.empty(); }
  // Why the engine cannot evaluate it ("" when it can).
  const std::string& GetUnsupportedReason() const { return reason_; }
  // The same as a kind and the name it is about (a function, a field, an
  // operator).
  IndexProblem GetProblem() const { return problem_; }
  const std::string& GetProblemSubject() const { return subject_; }
  // The table's field numbers it reads, ascending, each once.
  std::vector<int> GetFieldsUsed() const;
  IndexValueType GetResultType() const;
  // Characters of a Character result; the STR() width of a Numeric one.
  int GetLength() const;
  int GetDecimals() const;
  // Reads a field that Visual FoxPro lets hold null.
  bool IsNullable() const;

  // The parse, for the evaluator (index_keys.cpp).
  const std::vector<ExpressionNode>& Nodes() const { return nodes_; }
  int Root() const { return root_; }
  const std::vector<IndexFieldUse>& Fields() const { return fields_; }
  uint8_t GetVersion() const { return version_; }
  DbfCodePage GetCodePage() const { return code_page_; }
  // Where the record keeps _NullFlags (0: it has none).
  uint32_t NullFlagsOffset() const { return null_flags_offset_; }

 private:
  friend class IndexParser;
  std::string text_;
  std::string reason_;
  IndexProblem problem_ = IndexProblem::None;
  std::string subject_;
  std::vector<ExpressionNode> nodes_;
  std::vector<IndexFieldUse> fields_;
  int root_ = -1;
  uint8_t version_ = 0x03;
  DbfCodePage code_page_ = DbfCodePage::Unknown;
  uint32_t null_flags_offset_ = 0;
};

// An empty text parses to an unsupported expression. Whether the result
// suits a key or a FOR condition is the caller's check (GetResultType).
IndexExpression ParseIndexExpression(const std::string& text, const IndexTableShape& table);

}  // namespace tabulon
