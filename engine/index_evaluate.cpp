// Evaluating a parsed key or FOR expression on one record's bytes
// (index_keys.h). Field values are decoded straight from the record with
// the engine's field decoders; nothing is opened or read.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "field_values.h"
#include "index_keys.h"

namespace tabulon {

namespace {

// The letters UPPER and LOWER change besides ASCII, by code page: each
// pair is (first lower-case byte, last, distance to its upper case).
struct CaseRange {
  uint8_t First, Last;
  int Shift;
};

const CaseRange kDos866[] = {{0xA0, 0xAF, -0x20}, {0xE0, 0xEF, -0x50}, {0xF1, 0xF1, -1}};
const CaseRange kWindows1251[] = {{0xE0, 0xFF, -0x20}, {0xB8, 0xB8, -0x10}};
const CaseRange kWindows1252[] = {{0xE0, 0xF6, -0x20}, {0xF8, 0xFE, -0x20}};

template <size_t N>
uint8_t ChangeCase(uint8_t c, const CaseRange (&ranges)[N], bool upper) {
  for (const CaseRange& r : ranges) {
    if (upper && c >= r.First && c <= r.Last) return static_cast<uint8_t>(c + r.Shift);
    if (!upper && c >= r.First + r.Shift && c <= r.Last + r.Shift) return static_cast<uint8_t>(c - r.Shift);
  }
  return c;
}

void ChangeCase(std::string& text, DbfCodePage page, bool upper) {
  for (char& ch : text) {
    uint8_t c = static_cast<uint8_t>(ch);
    if (c < 0x80) {
      if (upper && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
    } else if (page == DbfCodePage::Dos866) {
      c = ChangeCase(c, kDos866, upper);
    } else if (page == DbfCodePage::Windows1251) {
      c = ChangeCase(c, kWindows1251, upper);
    } else if (page == DbfCodePage::Windows1252) {
      c = ChangeCase(c, kWindows1252, upper);
    }
    ch = static_cast<char>(c);
  }
}

std::string TrimLeft(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

std::string TrimRight(const std::string& s) {
  const size_t last = s.find_last_not_of(' ');
  return last == std::string::npos ? std::string() : s.substr(0, last + 1);
}

// Blanks at the end compared as absent: both padded to the longer.
int CompareText(const std::string& a, const std::string& b) {
  const size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = i < a.size() ? static_cast<uint8_t>(a[i]) : ' ';
    const uint8_t y = i < b.size() ? static_cast<uint8_t>(b[i]) : ' ';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

class Evaluator {
 public:
  Evaluator(const IndexExpression& e, IndexRecord r) : e_(e), record_(r) {}

  IndexValue Eval(int index) const {
    const ExpressionNode& n = e_.Nodes()[index];
    IndexValue v;
    v.Type = n.Type;
    switch (n.Op) {
      case IndexOp::Field:
        return FieldValue(e_.Fields()[n.Field], n.Type);
      case IndexOp::Text:
        v.Text = n.Text;
        return v;
      case IndexOp::Number:
      case IndexOp::Logic:
        v.Number = n.Number;
        return v;
      case IndexOp::Deleted:
        v.Number = record_.Size > 0 && record_.Bytes[0] == '*' ? 1 : 0;
        return v;
      default:
        break;
    }
    IndexValue a = Eval(n.Args[0]);
    if (n.Op == IndexOp::And || n.Op == IndexOp::Or) {
      // Null counts as false here, as a FOR condition takes it.
      const bool left = !a.Null && a.Number != 0;
      if (n.Op == IndexOp::And ? !left : left) {
        v.Number = left ? 1 : 0;
        return v;
      }
      const IndexValue b = Eval(n.Args[1]);
      v.Number = !b.Null && b.Number != 0 ? 1 : 0;
      return v;
    }
    const IndexValue b = n.Args[1] >= 0 ? Eval(n.Args[1]) : IndexValue();
    if (a.Null || b.Null) {
      v.Null = true;
      return v;
    }
    switch (n.Op) {
      case IndexOp::Concat:
        v.Text = std::move(a.Text);
        v.Text += b.Text;
        break;
      case IndexOp::ConcatTrimmed: {
        v.Text = TrimRight(a.Text) + b.Text;
        v.Text.resize(a.Text.size() + b.Text.size(), ' ');
        break;
      }
      case IndexOp::Add:
        v.Number = a.Number + b.Number;
        break;
      case IndexOp::Subtract:
        v.Number = a.Number - b.Number;
        break;
      case IndexOp::Upper:
      case IndexOp::Lower:
        v.Text = std::move(a.Text);
        ChangeCase(v.Text, e_.GetCodePage(), n.Op == IndexOp::Upper);
        break;
      case IndexOp::AllTrim:
        v.Text = TrimLeft(TrimRight(a.Text));
        break;
      case IndexOp::LTrim:
        v.Text = TrimLeft(a.Text);
        break;
      case IndexOp::RTrim:
        v.Text = TrimRight(a.Text);
        break;
      case IndexOp::Str:
        v.Text = StrText(a.Number, n.Length, n.Decimals);
        break;
      case IndexOp::Dtos:
        v.Text = DtosText(std::floor(a.Number));
        break;
      case IndexOp::Left:
      case IndexOp::Substr: {
        const size_t start = static_cast<size_t>(n.Number) - 1;
        if (start < a.Text.size()) v.Text = a.Text.substr(start, static_cast<size_t>(n.Length));
        break;
      }
      case IndexOp::Not:
        v.Number = a.Number != 0 ? 0 : 1;
        break;
      default:
        v.Number = Compare(n.Op, a, b) ? 1 : 0;
        break;
    }
    return v;
  }

 private:
  const IndexExpression& e_;
  IndexRecord record_;

  static bool Compare(IndexOp op, const IndexValue& a, const IndexValue& b) {
    int order = 0;
    if (a.Type == IndexValueType::Character) {
      if (op == IndexOp::ExactEqual) return a.Text == b.Text;
      // "=" as SET EXACT OFF has it: the right side's length decides.
      if (op == IndexOp::Equal || op == IndexOp::NotEqual) {
        const bool prefix = CompareText(a.Text.substr(0, b.Text.size()), b.Text) == 0;
        return op == IndexOp::Equal ? prefix : !prefix;
      }
      order = CompareText(a.Text, b.Text);
    } else {
      order = a.Number < b.Number ? -1 : a.Number > b.Number ? 1 : 0;
    }
    switch (op) {
      case IndexOp::Equal:
      case IndexOp::ExactEqual:
        return order == 0;
      case IndexOp::NotEqual:
        return order != 0;
      case IndexOp::Less:
        return order < 0;
      case IndexOp::LessEqual:
        return order <= 0;
      case IndexOp::Greater:
        return order > 0;
      default:
        return order >= 0;
    }
  }

  IndexValue FieldValue(const IndexFieldUse& f, IndexValueType type) const {
    IndexValue v;
    v.Type = type;
    if (f.NullBit >= 0 && e_.NullFlagsOffset() > 0) {
      const size_t at = e_.NullFlagsOffset() + static_cast<size_t>(f.NullBit / 8);
      if (at < record_.Size && (record_.Bytes[at] >> (f.NullBit % 8) & 1)) {
        v.Null = true;
        return v;
      }
    }
    const bool inside = size_t{f.Offset} + f.Length <= record_.Size;
    const uint8_t* bytes = inside ? record_.Bytes + f.Offset : nullptr;
    switch (f.Layout) {
      case DbfValueLayout::Text:
        v.Text =
            inside ? std::string(reinterpret_cast<const char*>(bytes), f.Length) : std::string(f.Length, ' ');
        break;
      case DbfValueLayout::Number:
        if (inside)
          v.Number =
              std::strtod(std::string(reinterpret_cast<const char*>(bytes), f.Length).c_str(), nullptr);
        break;
      case DbfValueLayout::Date:
        if (inside && f.Length == 8 &&
            std::all_of(bytes, bytes + 8, [](uint8_t c) { return c >= '0' && c <= '9'; })) {
          const int64_t ymd =
              std::strtoll(std::string(reinterpret_cast<const char*>(bytes), 8).c_str(), nullptr, 10);
          v.Number = double(JulianDayNumber(ymd / 10000, ymd / 100 % 100, ymd % 100));
        }
        break;
      case DbfValueLayout::Logic:
        v.Number = inside && f.Length > 0 &&
                   std::string("TtYy").find(static_cast<char>(bytes[0])) != std::string::npos;
        break;
      default:
        if (inside) DecodeBinaryNumber(f.Layout, bytes, f.Length, &v.Number);
        break;
    }
    return v;
  }
};

}  // namespace

IndexValue EvaluateIndexValue(const IndexExpression& expression, IndexRecord record) {
  if (!expression.IsSupported() || expression.Root() < 0) return IndexValue();
  return Evaluator(expression, record).Eval(expression.Root());
}

std::string EvaluateIndexKey(const IndexExpression& expression, IndexRecord record, IndexKeyFormat format,
                             int key_length) {
  if (key_length <= 0) key_length = IndexKeyLength(expression, format);
  const IndexValue v = EvaluateIndexValue(expression, record);
  if (format != IndexKeyFormat::FoxPro || !expression.IsNullable())
    return EncodeIndexValue(v, format, key_length, expression.GetDecimals());
  // Visual FoxPro's byte in front of keys that may be null.
  if (v.Null) return std::string(static_cast<size_t>(key_length), '\0');
  return '\x80' + EncodeIndexValue(v, format, key_length - 1, expression.GetDecimals());
}

bool EvaluateIndexCondition(const IndexExpression& condition, IndexRecord record) {
  if (condition.GetResultType() != IndexValueType::Logical) return false;
  const IndexValue v = EvaluateIndexValue(condition, record);
  return !v.Null && v.Number != 0;
}

}  // namespace tabulon
