// Parsing key and FOR expressions (index_expression.h): a tokenizer and a
// recursive descent over the xBase precedence, lowest first:
//   .OR.  .AND.  .NOT./!  comparisons  + -  unary minus  operands.
// The first problem found is the expression's reason; parsing goes on only
// as far as it must to return.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "index_expression.h"

namespace tabulon {

namespace {

enum class Tok { End, Name, Text, Number, Dot, Op, Open, Close, Comma, Bad };

struct Token {
  Tok Kind = Tok::End;
  std::string Text;  // upper case for names, dot words and operators
  size_t At = 0;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Bytes past ASCII count as letters: national field names in the table's
// code page.
bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || u >= 0x80;
}
bool IsNamePart(char c) { return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c)); }

std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> out;
  size_t i = 0;
  // A "[" opens a text only where an operand may stand.
  auto operand_expected = [&out] {
    return out.empty() || out.back().Kind == Tok::Op || out.back().Kind == Tok::Open ||
           out.back().Kind == Tok::Comma ||
           (out.back().Kind == Tok::Dot && out.back().Text != ".T." && out.back().Text != ".F.");
  };
  while (i < s.size()) {
    const char c = s[i];
    Token t;
    t.At = i;
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (IsNameStart(c)) {
      size_t j = i;
      while (j < s.size() && IsNamePart(s[j])) ++j;
      t.Kind = Tok::Name;
      t.Text = Upper(s.substr(i, j - i));
      i = j;
    } else if (c == '"' || c == '\'' || (c == '[' && operand_expected())) {
      const char close = c == '[' ? ']' : c;
      const size_t j = s.find(close, i + 1);
      if (j == std::string::npos) {
        t.Kind = Tok::Bad;
        i = s.size();
      } else {
        t.Kind = Tok::Text;
        t.Text = s.substr(i + 1, j - i - 1);
        i = j + 1;
      }
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      // A point belongs to the number only before a digit: "1.AND." is 1 .AND.
      size_t j = i;
      auto digit = [&s](size_t k) { return k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])); };
      while (digit(j)) ++j;
      if (j < s.size() && s[j] == '.' && digit(j + 1))
        for (++j; digit(j);) ++j;
      t.Kind = Tok::Number;
      t.Text = s.substr(i, j - i);
      i = j;
    } else if (c == '.') {
      const size_t j = s.find('.', i + 1);
      t.Kind = j == std::string::npos ? Tok::Bad : Tok::Dot;
      t.Text = j == std::string::npos ? "." : Upper(s.substr(i, j - i + 1));
      i = j == std::string::npos ? s.size() : j + 1;
    } else if (c == '(' || c == ')' || c == ',') {
      t.Kind = c == '(' ? Tok::Open : c == ')' ? Tok::Close : Tok::Comma;
      t.Text = std::string(1, c);
      ++i;
    } else {
      static const char* const kOps[] = {"->", "==", "<>", "!=", "<=", ">=", "+", "-", "*",
                                         "/",  "=",  "<",  ">",  "#",  "!",  "$", "%", "^"};
      t.Kind = Tok::Bad;
      t.Text = std::string(1, c);
      for (const char* op : kOps) {
        if (s.compare(i, std::char_traits<char>::length(op), op) == 0) {
          t.Kind = Tok::Op;
          t.Text = op;
          break;
        }
      }
      i += t.Kind == Tok::Op ? t.Text.size() : 1;
    }
    out.push_back(t);
  }
  Token end;
  end.At = s.size();
  out.push_back(end);
  return out;
}

bool IsNumeric(IndexValueType t) { return t == IndexValueType::Numeric || t == IndexValueType::Integer; }

const char* TypeWord(IndexValueType t) {
  switch (t) {
    case IndexValueType::Character:
      return "text";
    case IndexValueType::Numeric:
    case IndexValueType::Integer:
      return "a number";
    case IndexValueType::Date:
      return "a date";
    case IndexValueType::DateTime:
      return "a date and time";
    case IndexValueType::Logical:
      return "a logical value";
  }
  return "";
}

}  // namespace

class IndexParser {
 public:
  IndexParser(const std::string& text, const IndexTableShape& table) : table_(table) {
    e_.text_ = text;
    e_.version_ = table.Version;
    e_.code_page_ = table.CodePage;
    for (const DbfField& f : table.Fields)
      if (f.Type == '0') e_.null_flags_offset_ = f.FieldPosition;
    tokens_ = Tokenize(text);
  }

  IndexExpression Run() {
    if (tokens_.front().Kind == Tok::End)
      return Fail(IndexProblem::Unreadable, "", "the expression is empty");
    const int root = Or();
    if (e_.reason_.empty() && Peek().Kind != Tok::End) Unexpected();
    if (!e_.reason_.empty()) {
      e_.nodes_.clear();
      e_.fields_.clear();
      return std::move(e_);
    }
    e_.root_ = root;
    return std::move(e_);
  }

 private:
  const IndexTableShape& table_;
  IndexExpression e_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;

  bool Failed() const { return !e_.reason_.empty(); }
  IndexExpression Fail(IndexProblem kind, const std::string& subject, const std::string& reason) {
    Problem(kind, subject, reason);
    return std::move(e_);
  }
  int Problem(IndexProblem kind, const std::string& subject, const std::string& reason) {
    if (!e_.reason_.empty()) return -1;
    e_.problem_ = kind;
    e_.subject_ = subject;
    e_.reason_ = reason;
    return -1;
  }
  int Unexpected() {
    const Token& t = Peek();
    if (t.Kind == Tok::End) return Problem(IndexProblem::Unreadable, "", "the expression ends too early");
    if (t.Kind == Tok::Op && t.Text != "->")
      return Problem(IndexProblem::Operator, t.Text, "operator " + t.Text + " is not supported");
    const std::string at = e_.text_.substr(t.At, 12);
    return Problem(IndexProblem::Unreadable, at, "the expression cannot be read at \"" + at + "\"");
  }

  const Token& Peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
  bool Take(Tok kind, const char* text = nullptr) {
    if (Peek().Kind != kind || (text && Peek().Text != text)) return false;
    ++pos_;
    return true;
  }
  const ExpressionNode& At(int n) const { return e_.nodes_[n]; }

  int Add(ExpressionNode node) {
    e_.nodes_.push_back(std::move(node));
    return static_cast<int>(e_.nodes_.size()) - 1;
  }
  int Logical(IndexOp op, int a, int b = -1) {
    ExpressionNode n;
    n.Op = op;
    n.Type = IndexValueType::Logical;
    n.Length = 1;
    n.Args[0] = a;
    n.Args[1] = b;
    return Add(n);
  }

  int Or() {
    int left = And();
    while (!Failed() && Take(Tok::Dot, ".OR.")) {
      const int right = And();
      if (Failed()) return -1;
      if (At(left).Type != IndexValueType::Logical || At(right).Type != IndexValueType::Logical)
        return Problem(IndexProblem::Types, ".OR.", ".OR. joins values that are not logical");
      left = Logical(IndexOp::Or, left, right);
    }
    return left;
  }

  int And() {
    int left = Not();
    while (!Failed() && Take(Tok::Dot, ".AND.")) {
      const int right = Not();
      if (Failed()) return -1;
      if (At(left).Type != IndexValueType::Logical || At(right).Type != IndexValueType::Logical)
        return Problem(IndexProblem::Types, ".AND.", ".AND. joins values that are not logical");
      left = Logical(IndexOp::And, left, right);
    }
    return left;
  }

  int Not() {
    if (Take(Tok::Dot, ".NOT.") || Take(Tok::Op, "!")) {
      const int a = Not();
      if (Failed()) return -1;
      if (At(a).Type != IndexValueType::Logical)
        return Problem(IndexProblem::Types, ".NOT.", ".NOT. takes a logical value");
      return Logical(IndexOp::Not, a);
    }
    return Comparison();
  }

  int Comparison() {
    const int left = Sum();
    if (Failed() || Peek().Kind != Tok::Op) return left;
    static const struct {
      const char* Text;
      IndexOp Op;
    } kComparisons[] = {
        {"=", IndexOp::Equal},      {"==", IndexOp::ExactEqual}, {"<>", IndexOp::NotEqual},
        {"#", IndexOp::NotEqual},   {"!=", IndexOp::NotEqual},   {"<", IndexOp::Less},
        {"<=", IndexOp::LessEqual}, {">", IndexOp::Greater},     {">=", IndexOp::GreaterEqual}};
    for (const auto& c : kComparisons) {
      if (!Take(Tok::Op, c.Text)) continue;
      const int right = Sum();
      if (Failed()) return -1;
      IndexValueType a = At(left).Type, b = At(right).Type;
      if (IsNumeric(a) && IsNumeric(b)) a = b;
      if (a == IndexValueType::DateTime || b == IndexValueType::DateTime)
        return Problem(IndexProblem::Types, c.Text, "comparisons of date and time are not supported");
      if (a != b)
        return Problem(
            IndexProblem::Types, c.Text,
            std::string("operator ") + c.Text + " compares " + TypeWord(a) + " with " + TypeWord(b));
      return Logical(c.Op, left, right);
    }
    return left;
  }

  int Sum() {
    int left = Unary();
    while (!Failed() && Peek().Kind == Tok::Op && (Peek().Text == "+" || Peek().Text == "-")) {
      const bool plus = Take(Tok::Op, "+");
      if (!plus) Take(Tok::Op, "-");
      const int right = Unary();
      if (Failed()) return -1;
      const ExpressionNode& a = At(left);
      const ExpressionNode& b = At(right);
      ExpressionNode n;
      n.Args[0] = left;
      n.Args[1] = right;
      if (a.Type == IndexValueType::Character && b.Type == IndexValueType::Character) {
        n.Op = plus ? IndexOp::Concat : IndexOp::ConcatTrimmed;
        n.Length = a.Length + b.Length;
      } else if (IsNumeric(a.Type) && IsNumeric(b.Type)) {
        n.Op = plus ? IndexOp::Add : IndexOp::Subtract;
        n.Type = IndexValueType::Numeric;
        n.Length = std::max(a.Length, b.Length);
        n.Decimals = std::max(a.Decimals, b.Decimals);
      } else if (a.Type == IndexValueType::Date && IsNumeric(b.Type)) {
        n.Op = plus ? IndexOp::Add : IndexOp::Subtract;
        n.Type = IndexValueType::Date;
        n.Length = 8;
      } else if (!plus && a.Type == IndexValueType::Date && b.Type == IndexValueType::Date) {
        n.Op = IndexOp::Subtract;
        n.Type = IndexValueType::Numeric;
        n.Length = 10;
      } else {
        return Problem(IndexProblem::Types, plus ? "+" : "-",
                       std::string("operator ") + (plus ? "+" : "-") + " joins " + TypeWord(a.Type) +
                           " with " + TypeWord(b.Type));
      }
      left = Add(n);
    }
    return left;
  }

  int Unary() {
    if (Peek().Kind == Tok::Op && Peek().Text == "-" && Peek(1).Kind == Tok::Number) {
      ++pos_;
      const int n = Operand();
      if (!Failed()) e_.nodes_[n].Number = -e_.nodes_[n].Number;
      return n;
    }
    return Operand();
  }

  int Operand() {
    const Token t = Peek();
    switch (t.Kind) {
      case Tok::Text: {
        ++pos_;
        ExpressionNode n;
        n.Op = IndexOp::Text;
        n.Text = t.Text;
        n.Length = static_cast<int>(t.Text.size());
        return Add(n);
      }
      case Tok::Number: {
        ++pos_;
        ExpressionNode n;
        n.Op = IndexOp::Number;
        n.Type = IndexValueType::Numeric;
        n.Number = std::strtod(t.Text.c_str(), nullptr);
        const size_t point = t.Text.find('.');
        n.Decimals = point == std::string::npos ? 0 : static_cast<int>(t.Text.size() - point - 1);
        n.Length = 10;
        return Add(n);
      }
      case Tok::Dot: {
        if (t.Text != ".T." && t.Text != ".F." && t.Text != ".Y." && t.Text != ".N.") return Unexpected();
        ++pos_;
        ExpressionNode n;
        n.Op = IndexOp::Logic;
        n.Type = IndexValueType::Logical;
        n.Length = 1;
        n.Number = t.Text == ".T." || t.Text == ".Y." ? 1 : 0;
        return Add(n);
      }
      case Tok::Open: {
        ++pos_;
        const int inner = Or();
        if (Failed()) return -1;
        if (!Take(Tok::Close)) return Unexpected();
        return inner;
      }
      case Tok::Name:
        ++pos_;
        if (Peek().Kind == Tok::Open) return Function(t.Text);
        if (Take(Tok::Op, "->")) {
          if (Peek().Kind != Tok::Name) return Unexpected();
          return FieldNamed(tokens_[pos_++].Text);
        }
        return FieldNamed(t.Text);
      default:
        return Unexpected();
    }
  }

  int FieldNamed(const std::string& name) {
    const std::string shortened = name.substr(0, 10);
    int number = 0;
    for (size_t i = 0; i < table_.Fields.size() && number == 0; ++i) {
      const DbfField& f = table_.Fields[i];
      const std::string field(reinterpret_cast<const char*>(f.Name),
                              strnlen(reinterpret_cast<const char*>(f.Name), sizeof f.Name));
      if (Upper(field) == shortened) number = static_cast<int>(i) + 1;
    }
    if (number == 0) return Problem(IndexProblem::Field, name, "field " + name + " is not in the table");
    const DbfField& f = table_.Fields[number - 1];
    IndexFieldUse use;
    use.Number = number;
    use.Type = f.Type;
    use.Layout = ValueLayoutOf(f.Type, f.Length, table_.Version);
    use.Offset = f.FieldPosition;
    use.Length = f.Length;
    use.Decimals = f.Decimals;
    use.NullBit = NullBitOf(number);
    ExpressionNode n;
    n.Op = IndexOp::Field;
    n.Length = f.Length;
    switch (use.Layout) {
      case DbfValueLayout::Text:
        break;
      case DbfValueLayout::Number:
        n.Type = IndexValueType::Numeric;
        n.Decimals = f.Decimals;
        break;
      case DbfValueLayout::Date:
        n.Type = IndexValueType::Date;
        break;
      case DbfValueLayout::Logic:
        n.Type = IndexValueType::Logical;
        break;
      case DbfValueLayout::Integer:
      case DbfValueLayout::Autoincrement:
        n.Type = IndexValueType::Integer;
        n.Length = 11;
        break;
      case DbfValueLayout::Currency:
      case DbfValueLayout::Double:
      case DbfValueLayout::SortableDouble:
        n.Type = IndexValueType::Numeric;
        n.Length = 20;
        n.Decimals = use.Layout == DbfValueLayout::Currency ? 4 : f.Decimals;
        break;
      case DbfValueLayout::DateTime:
      case DbfValueLayout::Timestamp:
        n.Type = IndexValueType::DateTime;
        n.Length = 8;
        break;
      case DbfValueLayout::MemoReference:
      case DbfValueLayout::BinaryReference:
        return Problem(IndexProblem::FieldType, name,
                       "field " + name + " is a memo, which the engine does not key");
      default:
        return Problem(IndexProblem::FieldType, name,
                       "field " + name + " of type " + std::string(1, static_cast<char>(f.Type)) +
                           " is not supported in keys");
    }
    n.Field = static_cast<int>(e_.fields_.size());
    e_.fields_.push_back(use);
    return Add(n);
  }

  // The bit of _NullFlags for field number (Visual FoxPro): bits go to the
  // fields in order, a variable-length field's length bit before its null bit.
  int NullBitOf(int number) const {
    if (!IsVisualFoxPro(table_.Version)) return -1;
    int bit = 0;
    for (int i = 1; i <= static_cast<int>(table_.Fields.size()); ++i) {
      const DbfField& f = table_.Fields[i - 1];
      if (f.Type == '0') continue;
      const bool variable = f.Type == 'V' || f.Type == 'Q';
      const bool nullable = (f.Rest[0] & 0x02) != 0;
      if (i == number) return nullable ? bit + (variable ? 1 : 0) : -1;
      bit += (variable ? 1 : 0) + (nullable ? 1 : 0);
    }
    return -1;
  }

  // Arguments inside the parentheses that follow a function's name.
  std::vector<int> Arguments() {
    std::vector<int> args;
    Take(Tok::Open);
    if (Take(Tok::Close)) return args;
    do {
      args.push_back(Or());
      if (Failed()) return args;
    } while (Take(Tok::Comma));
    if (!Take(Tok::Close)) Unexpected();
    return args;
  }

  // A whole number written as a literal, as the width arguments must be:
  // the key's length cannot depend on a record.
  bool Literal(int node, int* value) const {
    const double v = At(node).Number;
    if (At(node).Op != IndexOp::Number || !(v >= 0 && v <= 65535) || v != std::floor(v)) return false;
    *value = static_cast<int>(v);
    return true;
  }

  int Function(const std::string& name) {
    static const struct {
      const char* Name;
      IndexOp Op;
      size_t Least, Most;
    } kFunctions[] = {{"UPPER", IndexOp::Upper, 1, 1},     {"LOWER", IndexOp::Lower, 1, 1},
                      {"ALLTRIM", IndexOp::AllTrim, 1, 1}, {"LTRIM", IndexOp::LTrim, 1, 1},
                      {"RTRIM", IndexOp::RTrim, 1, 1},     {"TRIM", IndexOp::RTrim, 1, 1},
                      {"STR", IndexOp::Str, 1, 3},         {"DTOS", IndexOp::Dtos, 1, 1},
                      {"LEFT", IndexOp::Left, 2, 2},       {"SUBSTR", IndexOp::Substr, 2, 3},
                      {"DELETED", IndexOp::Deleted, 0, 0}};
    const auto* f = std::find_if(std::begin(kFunctions), std::end(kFunctions),
                                 [&](const auto& k) { return name == k.Name; });
    if (f == std::end(kFunctions))
      return Problem(IndexProblem::Function, name, "function " + name + " is not supported");
    const std::vector<int> args = Arguments();
    if (Failed()) return -1;
    if (args.size() < f->Least || args.size() > f->Most)
      return Problem(IndexProblem::Arguments, name,
                     "function " + name + " takes " + std::to_string(f->Least) +
                         (f->Most > f->Least ? " to " + std::to_string(f->Most) : std::string()) +
                         " arguments");
    ExpressionNode n;
    n.Op = f->Op;
    for (size_t i = 0; i < args.size(); ++i) n.Args[i] = args[i];
    const ExpressionNode* a = args.empty() ? nullptr : &At(args[0]);
    auto wants = [&](bool ok, const char* what) {
      return ok ? 0 : Problem(IndexProblem::Types, name, "function " + name + " takes " + what);
    };
    switch (f->Op) {
      case IndexOp::Upper:
      case IndexOp::Lower:
      case IndexOp::AllTrim:
      case IndexOp::LTrim:
      case IndexOp::RTrim:
        if (wants(a->Type == IndexValueType::Character, "text") < 0) return -1;
        n.Length = a->Length;
        break;
      case IndexOp::Dtos:
        if (wants(a->Type == IndexValueType::Date || a->Type == IndexValueType::DateTime, "a date") < 0)
          return -1;
        n.Length = 8;
        break;
      case IndexOp::Deleted:
        n.Type = IndexValueType::Logical;
        n.Length = 1;
        break;
      case IndexOp::Str: {
        int length = 10, decimals = 0;
        if (wants(IsNumeric(a->Type), "a number") < 0) return -1;
        if ((args.size() > 1 && !Literal(args[1], &length)) ||
            (args.size() > 2 && !Literal(args[2], &decimals)) || length < 1 || length > 254 || decimals < 0 ||
            decimals > 15)
          return Problem(IndexProblem::Arguments, name,
                         "function STR takes a width and decimals written as whole numbers");
        n.Length = length;
        n.Decimals = decimals;
        n.Args[1] = n.Args[2] = -1;
        break;
      }
      case IndexOp::Left:
      case IndexOp::Substr: {
        int start = 1, count = 0;
        if (wants(a->Type == IndexValueType::Character, "text") < 0) return -1;
        const bool has_count = f->Op == IndexOp::Left || args.size() == 3;
        if ((f->Op == IndexOp::Substr && !Literal(args[1], &start)) ||
            (has_count && !Literal(args.back(), &count)) || start < 1 || count < 0)
          return Problem(IndexProblem::Arguments, name,
                         "function " + name + " takes positions written as whole numbers");
        if (!has_count) count = a->Length - start + 1;
        // The start is kept in Number, the count is the length.
        n.Length = std::max(0, std::min(count, a->Length - start + 1));
        n.Number = start;
        n.Args[1] = n.Args[2] = -1;
        break;
      }
      default:
        break;
    }
    return Add(n);
  }
};

IndexExpression ParseIndexExpression(const std::string& text, const IndexTableShape& table) {
  return IndexParser(text, table).Run();
}

IndexTableShape IndexTableShapeOf(const DbfTable& table) {
  IndexTableShape shape;
  for (int32_t n = 1; n <= table.GetFieldCount(); ++n) shape.Fields.push_back(table.GetField(n));
  shape.Version = table.GetVersion();
  shape.CodePage = CodePageOfLanguageDriver(table.GetLanguageDriver());
  return shape;
}

std::vector<int> IndexExpression::GetFieldsUsed() const {
  std::vector<int> numbers;
  for (const IndexFieldUse& f : fields_) numbers.push_back(f.Number);
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

IndexValueType IndexExpression::GetResultType() const {
  return root_ < 0 ? IndexValueType::Character : nodes_[root_].Type;
}

int IndexExpression::GetLength() const { return root_ < 0 ? 0 : nodes_[root_].Length; }

int IndexExpression::GetDecimals() const {
  return root_ < 0 || nodes_[root_].Type == IndexValueType::Character ? 0 : nodes_[root_].Decimals;
}

bool IndexExpression::IsNullable() const {
  return std::any_of(fields_.begin(), fields_.end(), [](const IndexFieldUse& f) { return f.NullBit >= 0; });
}

}  // namespace tabulon
